// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/duration_probe.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <stop_token>
#include <thread>
#include <vector>

class QProgressBar;
class QProgressDialog;
class QWidget;

namespace kestrine {

class MediaFramework;

// What measuring a choice of files found, in the order the files were given.
struct Measurement {
    QStringList paths;
    std::vector<ProbeOutcome> outcomes; // one per path
    bool cancelled = false;
};

// Measures files on a worker while the window it serves goes on painting and
// answering. The worker posts its progress and its result to this object, and
// the result reaches the caller's continuation on the window's thread; nobody
// waits for it. Measuring that takes a while shows its progress with a Cancel
// button, modal to the window.
class FileMeasurer : public QObject {
public:
    FileMeasurer(MediaFramework& framework, QWidget* window);
    // Stops the worker and waits for it; a result not yet handed over is dropped.
    ~FileMeasurer() override;
    FileMeasurer(const FileMeasurer&) = delete;
    FileMeasurer& operator=(const FileMeasurer&) = delete;

    using Continuation = std::function<void(const Measurement&)>;
    // Starts measuring paths; then() runs once with the result, after the
    // measuring has ended (so it may start the next). False, and nothing
    // starts, while an earlier measuring runs.
    bool start(const QStringList& paths, Continuation then);
    // From start() until the result has been handed over.
    bool running() const { return running_; }
    // Asks the worker to stop; the result still comes, marked cancelled.
    void cancel();

    // Measuring that takes longer than this shows its progress and Cancel.
    static constexpr int kProgressDelayMs = 500;

protected:
    void customEvent(QEvent* event) override;

private:
    void showProgress(int done);
    void finish(std::vector<ProbeOutcome> outcomes);

    MediaFramework& framework_;
    QWidget* window_;
    QPointer<QProgressDialog> progress_;
    // The dialog's own bar: QProgressDialog::setValue takes in waiting events
    // while a modal dialog shows, and the result may be one of them.
    QProgressBar* bar_ = nullptr;
    std::stop_source stop_;
    std::jthread worker_;
    QStringList paths_;
    Continuation then_;
    bool running_ = false;
};

} // namespace kestrine

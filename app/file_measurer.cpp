// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/file_measurer.h"

#include "output/framework/path_bytes.h"

#include <QCoreApplication>
#include <QEvent>
#include <QProgressBar>
#include <QProgressDialog>
#include <QWidget>
#include <algorithm>

namespace kestrine {

namespace {

// The worker's two reports; they reach this object in the order posted.
constexpr QEvent::Type kMeasuredCountEvent = static_cast<QEvent::Type>(QEvent::User + 21);
constexpr QEvent::Type kMeasuredEvent = static_cast<QEvent::Type>(QEvent::User + 22);

class MeasuredCount : public QEvent {
public:
    explicit MeasuredCount(int count) : QEvent(kMeasuredCountEvent), done(count) {}
    const int done;
};

class Measured : public QEvent {
public:
    explicit Measured(std::vector<ProbeOutcome> found) : QEvent(kMeasuredEvent), outcomes(std::move(found)) {}
    std::vector<ProbeOutcome> outcomes;
};

} // namespace

FileMeasurer::FileMeasurer(MediaFramework& framework, QWidget* window)
    : framework_(framework), window_(window)
{
}

FileMeasurer::~FileMeasurer()
{
    // What the worker posts from now on goes with this object's posted events.
    stop_.request_stop();
    if (worker_.joinable())
        worker_.join();
    delete progress_;
}

bool FileMeasurer::start(const QStringList& paths, Continuation then)
{
    if (running_)
        return false;
    running_ = true;
    paths_ = paths;
    then_ = std::move(then);
    stop_ = std::stop_source();

    auto* progress = new QProgressDialog(QStringLiteral("Measuring the files..."), QStringLiteral("Cancel"), 0,
                                         static_cast<int>(paths.size()), window_);
    bar_ = new QProgressBar(progress);
    progress->setBar(bar_);
    progress->setRange(0, static_cast<int>(paths.size()));
    progress->setWindowTitle(window_->windowTitle());
    progress->setWindowModality(Qt::WindowModal);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    progress->setMinimumDuration(kProgressDelayMs);
    // At the minimum the dialog starts its clock: it shows by itself once
    // the delay has passed, unless it is gone by then.
    progress->setValue(0);
    connect(progress, &QProgressDialog::canceled, this, &FileMeasurer::cancel);
    progress_ = progress;

    std::vector<std::string> files;
    files.reserve(static_cast<std::size_t>(paths.size()));
    for (const QString& path : paths)
        files.push_back(pathToBytes(path));

    worker_ = std::jthread([this, files = std::move(files), token = stop_.get_token()] {
        std::vector<ProbeOutcome> outcomes = probeDurations(framework_, files, token, [this](int done) {
            QCoreApplication::postEvent(this, new MeasuredCount(done));
        });
        QCoreApplication::postEvent(this, new Measured(std::move(outcomes)));
    });
    return true;
}

void FileMeasurer::cancel()
{
    stop_.request_stop();
}

void FileMeasurer::customEvent(QEvent* event)
{
    if (event->type() == kMeasuredCountEvent)
        showProgress(static_cast<MeasuredCount*>(event)->done);
    else if (event->type() == kMeasuredEvent)
        finish(std::move(static_cast<Measured*>(event)->outcomes));
    else
        QObject::customEvent(event);
}

void FileMeasurer::showProgress(int done)
{
    // Workers finish side by side, so their counts may come a little out of order.
    if (progress_ && bar_)
        bar_->setValue(std::max(bar_->value(), done));
}

void FileMeasurer::finish(std::vector<ProbeOutcome> outcomes)
{
    // The worker posted this as its last act.
    worker_.join();
    delete progress_;
    bar_ = nullptr;

    Measurement measurement;
    measurement.paths = std::move(paths_);
    measurement.cancelled = stop_.stop_requested();
    measurement.outcomes = std::move(outcomes);
    measurement.outcomes.resize(static_cast<std::size_t>(measurement.paths.size()));
    paths_.clear();
    running_ = false;
    const Continuation then = std::move(then_);
    then_ = nullptr;
    if (then)
        then(measurement);
}

} // namespace kestrine

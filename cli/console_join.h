// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "cli/exit_codes.h"
#include "cli/join_options.h"
#include "output/clip_item.h"
#include "output/join_run.h"
#include "output/file_stamp.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <ostream>

namespace kestrine {

class UserDialogs;

// One join from the console: checks the arguments, measures the files, runs
// the join as the window does, and waits for its end or the user's interrupt.
class ConsoleJoin {
public:
    ConsoleJoin(MediaFramework& framework, UserDialogs& dialogs, std::ostream& err);

    // interrupted is set from a signal handler; progress is drawn on err.
    int run(const JoinOptions& options, const std::atomic<bool>& interrupted, bool showProgress);

    // How often the wait looks at the interrupt and redraws the progress line.
    std::chrono::milliseconds pollInterval{100};

private:
    int refuse(const QString& text, int code);
    bool measure(const QStringList& files, std::vector<ClipItem>& items,
                 const std::atomic<bool>& interrupted);
    std::function<void()> graphEventNotifier();
    int waitForEnd(JoinRun& run, const FileStamp& replaced,
                   const std::atomic<bool>& interrupted, bool showProgress);
    void drawProgress(MediaSeeking* seeking, MediaTime total, bool final);

    MediaFramework& framework_;
    UserDialogs& dialogs_;
    std::ostream& err_;
    std::chrono::steady_clock::time_point startTime_;

    std::mutex mutex_;
    std::condition_variable eventsArrived_;
    bool eventsWaiting_ = false;
};

} // namespace kestrine

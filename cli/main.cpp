// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/join_command.h"
#include "media/ffmpeg.h"
#include "media/framework/ffmpeg_media_framework.h"

#include <QCoreApplication>
#include <atomic>
#include <csignal>
#include <iostream>
#include <unistd.h>

namespace {

// Only a lock-free atomic may be touched from a signal handler.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onInterrupt(int)
{
    interrupted.store(true);
}

} // namespace

int main(int argc, char** argv)
{
    // First of all: a Ctrl-C while a thousand long names are taken in must
    // stop the join as surely as one during the writing.
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    QCoreApplication application(argc, argv);
    // Every failure reaches the user in this program's own words; FFmpeg's
    // running commentary on odd files would only bury them.
    av_log_set_level(AV_LOG_QUIET);
    // File names are bytes; arguments() would lose the ones that are not UTF-8.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    kestrine::FfmpegMediaFramework framework;
    return kestrine::runJoinCommand(arguments, framework, std::cout, std::cerr, interrupted,
                                    isatty(STDERR_FILENO) == 1);
}

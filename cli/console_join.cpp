// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/console_join.h"

#include "cli/marker_list_paths.h"
#include "media/source_tags.h"
#include "output/duration_probe.h"
#include "output/file_stamp.h"
#include "output/join_paths.h"
#include "output/measure_failure.h"
#include "output/framework/output_path_check.h"
#include "output/framework/path_bytes.h"
#include "platform/user_dialogs.h"

#include <algorithm>
#include <cstdio>

namespace kestrine {

namespace {

// What a join that did not complete left at the output path, which held
// the file `before` when it began.
QString whatIsLeft(const QString& output, const FileStamp& before)
{
    switch (outputLeft(pathToBytes(output), before)) {
    case OutputLeft::Nothing:
        return QStringLiteral("no file was written");
    case OutputLeft::Unchanged:
        return QStringLiteral("nothing was written and %1 was left as it was").arg(output);
    case OutputLeft::Written:
        break;
    }
    return QStringLiteral("%1 holds what was written so far").arg(output);
}

// A name given twice, or a list the format cannot hold, is the caller's
// mistake; anything else is what the system is like.
int exitCodeOf(const JoinPathProblem& problem)
{
    switch (problem.kind) {
    case JoinPathProblem::Kind::NoOutputName:
    case JoinPathProblem::Kind::UnwritableFormat:
    case JoinPathProblem::Kind::IsSource:
    case JoinPathProblem::Kind::SameFile:
    case JoinPathProblem::Kind::TooManyCueTracks:
        return kExitUsage;
    default:
        return kExitFailed;
    }
}

std::string clock(std::int64_t seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                  static_cast<long long>(seconds % 3600 / 60), static_cast<long long>(seconds % 60));
    return text;
}

} // namespace

ConsoleJoin::ConsoleJoin(MediaFramework& framework, UserDialogs& dialogs, std::ostream& err)
    : framework_(framework), dialogs_(dialogs), err_(err)
{
}

std::function<void()> ConsoleJoin::graphEventNotifier()
{
    return [this] {
        {
            std::lock_guard lock(mutex_);
            eventsWaiting_ = true;
        }
        eventsArrived_.notify_one();
    };
}

int ConsoleJoin::refuse(const QString& text, int code)
{
    dialogs_.inform(text);
    return code;
}

int ConsoleJoin::run(const JoinOptions& options, const std::atomic<bool>& interrupted,
                     bool showProgress)
{
    if (options.output.isEmpty())
        return refuse(QStringLiteral("no output file: give -o OUTPUT (see --help)"),
                      kExitUsage);
    if (options.files.isEmpty())
        return refuse(QStringLiteral("no files to join (see --help)"), kExitUsage);
    if (options.files.size() > kMostFilesPerJoin)
        return refuse(QStringLiteral("%1 files are too many: a join takes at most %2")
                          .arg(options.files.size())
                          .arg(kMostFilesPerJoin),
                      kExitUsage);
    if (const QString problem = formatOptionsProblem(options); !problem.isEmpty())
        return refuse(problem + QStringLiteral(" (see --help)"), kExitUsage);
    // Every name the join writes is checked before any file is read: an
    // hour's join is not lost to a mistake in one of them.
    JoinPaths paths{pathToBytes(options.output), pathToBytes(options.cueSheet), pathToBytes(options.labelList)};
    std::vector<std::string> sources;
    for (const QString& file : options.files)
        sources.push_back(pathToBytes(file));
    if (const JoinPathProblem problem = checkJoinPaths(paths, sources))
        return refuse(joinPathProblemText(problem), exitCodeOf(problem));
    const FileStamp replaced = stampFile(paths.output);
    if (replaced.exists && !options.overwrite)
        return refuse(
            QStringLiteral("%1 exists; use -y to replace it").arg(options.output), kExitFailed);
    if (const int refused = checkMarkerListsReplaceable(options, dialogs_); refused != kExitJoined)
        return refused;

    // A cover that cannot be used is left out: the join is worth more than its picture.
    if (!options.cover.isEmpty()) {
        Picture cover;
        if (const MediaResult read = readCoverFile(pathToBytes(options.cover), cover); failed(read))
            dialogs_.inform(QStringLiteral("warning: %1 is left out as the cover: %2")
                                .arg(options.cover, QString::fromStdString(framework_.errorText(read))));
    }

    std::vector<ClipItem> items;
    if (!measure(options.files, items, interrupted))
        return interrupted ? kExitInterrupted : kExitFailed;
    if (interrupted)
        return refuse(QStringLiteral("stopped before the join began; nothing was written"), kExitInterrupted);

    startTime_ = std::chrono::steady_clock::now();
    JoinRun run(framework_, dialogs_);
    const MediaResult started = run.start(
        items, items, options.output, graphEventNotifier(),
        [this](const std::string& path) {
            dialogs_.inform(QStringLiteral("cannot read %1").arg(pathFromBytes(path)));
            return std::optional<std::string>();
        },
        markerOptionsOf(options), tagOptionsOf(options), options.format);
    if (failed(started))
        return refuse(QStringLiteral("the join could not be started"), kExitFailed);
    return waitForEnd(run, replaced, interrupted, showProgress);
}

bool ConsoleJoin::measure(const QStringList& files, std::vector<ClipItem>& items,
                          const std::atomic<bool>& interrupted)
{
    std::vector<std::string> paths;
    for (const QString& file : files)
        paths.push_back(pathToBytes(file));

    std::stop_source stop;
    const std::vector<ProbeOutcome> outcomes =
        probeDurations(framework_, paths, stop.get_token(), [&](int) {
            if (interrupted)
                stop.request_stop();
        });
    if (interrupted) {
        dialogs_.inform(QStringLiteral("stopped before the join began; nothing was written"));
        return false;
    }

    bool allMeasured = true;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const ProbeOutcome& outcome = outcomes[static_cast<std::size_t>(i)];
        if (outcome.failure == ProbeFailure::None) {
            items.push_back({files[i], outcome.duration});
            continue;
        }
        allMeasured = false;
        dialogs_.inform(measureFailureText(framework_, files[i], outcome));
    }
    return allMeasured;
}

int ConsoleJoin::waitForEnd(JoinRun& run, const FileStamp& replaced,
                            const std::atomic<bool>& interrupted, bool showProgress)
{
    const std::shared_ptr<MediaSeeking> seeking = showProgress ? run.seeking() : nullptr;
    for (;;) {
        const JoinState state = run.takeEvents();
        if (state == JoinState::Completed) {
            if (showProgress)
                drawProgress(seeking.get(), run.totalDuration(), true);
            run.release();
            return kExitJoined;
        }
        // Stopping closes the file with a header that matches what it holds.
        if (state != JoinState::Running || interrupted) {
            if (showProgress)
                err_ << '\n';
            run.release();
            // What stands at the output then is the other join's doing.
            if (state == JoinState::Failed && run.failure() == result::kOutputBusy)
                return refuse(QStringLiteral("the join failed: %1")
                                  .arg(QString::fromStdString(framework_.errorText(run.failure()))),
                              kExitFailed);
            if (state == JoinState::Failed)
                return refuse(QStringLiteral("the join failed: %1 Afterwards %2.")
                                  .arg(run.failureText(),
                                       whatIsLeft(run.output(), replaced)),
                              kExitFailed);
            return refuse(QStringLiteral("stopped; %1").arg(whatIsLeft(run.output(), replaced)),
                          kExitInterrupted);
        }
        if (showProgress)
            drawProgress(seeking.get(), run.totalDuration(), false);

        std::unique_lock lock(mutex_);
        eventsArrived_.wait_for(lock, pollInterval, [this] { return eventsWaiting_; });
        eventsWaiting_ = false;
    }
}

void ConsoleJoin::drawProgress(MediaSeeking* seeking, MediaTime total, bool final)
{
    MediaTime position = final ? total : 0;
    if (!final && seeking && failed(seeking->currentPosition(position)))
        position = 0;
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - startTime_).count();
    const double fraction =
        total > 0 ? std::clamp(static_cast<double>(position) / static_cast<double>(total), 0.0, 1.0)
                  : (final ? 1.0 : 0.0);
    std::string left = "--:--:--";
    if (final)
        left = clock(0);
    else if (fraction > 0.0)
        left = clock(static_cast<std::int64_t>(elapsed * (1.0 - fraction) / fraction + 0.5));
    const char* road = "";
    if (seeking) {
        switch (seeking->road()) {
        case JoinRoad::Copy:
            road = " copying frames ";
            break;
        case JoinRoad::Encode:
            road = " encoding       ";
            break;
        case JoinRoad::Undecided:
            break;
        }
    }
    char line[112];
    std::snprintf(line, sizeof line, "\r%5.1f%%  elapsed %s  left %s %s", fraction * 100.0,
                  clock(static_cast<std::int64_t>(elapsed)).c_str(), left.c_str(), road);
    err_ << line;
    if (final)
        err_ << '\n';
    err_ << std::flush;
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/console_join.h"

#include "output/duration_probe.h"
#include "output/timeline_builder.h"
#include "platform/user_dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstdio>

namespace kestrine {

namespace {

// The file a path names once links and dots are resolved; for a file that
// does not exist yet, its resolved folder and its name.
QString resolvedPath(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = info.absoluteDir().canonicalPath();
    return folder.isEmpty() ? info.absoluteFilePath() : QDir(folder).filePath(info.fileName());
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

void ConsoleJoin::joinStarted()
{
    started_ = true;
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
        return refuse(QStringLiteral("no output file: give -o OUTPUT.wav (see --help)"),
                      kExitUsage);
    if (options.files.isEmpty())
        return refuse(QStringLiteral("no files to join (see --help)"), kExitUsage);
    if (options.files.size() > kMostFilesPerJoin)
        return refuse(QStringLiteral("%1 files are too many: a join takes at most %2")
                          .arg(options.files.size())
                          .arg(kMostFilesPerJoin),
                      kExitUsage);
    // Replacing the output would destroy an input before it is read.
    const QString output = resolvedPath(options.output);
    for (const QString& file : options.files) {
        if (resolvedPath(file) == output)
            return refuse(QStringLiteral("the output file %1 is also one of the files to join")
                              .arg(options.output),
                          kExitUsage);
    }
    const QFileInfo outputInfo(options.output);
    if (outputInfo.isDir())
        return refuse(QStringLiteral("the output %1 is a folder").arg(options.output),
                      kExitFailed);
    if (outputInfo.exists() && !options.overwrite)
        return refuse(
            QStringLiteral("%1 exists; use -y to replace it").arg(options.output), kExitFailed);

    std::vector<ClipItem> items;
    if (!measure(options.files, items, interrupted))
        return interrupted ? kExitInterrupted : kExitFailed;

    if (outputInfo.exists() && !QFile::remove(options.output))
        return refuse(QStringLiteral("cannot replace %1").arg(options.output), kExitFailed);

    JoinReferences references;
    TimelineBuilder builder(framework_, dialogs_, [this](const std::string& path) {
        dialogs_.inform(QStringLiteral("cannot read %1").arg(QFile::decodeName(path.c_str())));
        return std::optional<std::string>();
    });
    builder.build(items, items, references.timeline);

    started_ = false;
    startTime_ = std::chrono::steady_clock::now();
    OutputGraph graph(framework_, dialogs_);
    graph.start(references, options.output, *this);
    if (!started_) {
        OutputGraph::release(references);
        return refuse(QStringLiteral("the join could not be started"), kExitFailed);
    }
    return waitForEnd(references, options.output, builder.totalDuration(), interrupted,
                      showProgress);
}

bool ConsoleJoin::measure(const QStringList& files, std::vector<ClipItem>& items,
                          const std::atomic<bool>& interrupted)
{
    std::vector<std::string> paths;
    for (const QString& file : files)
        paths.push_back(QFile::encodeName(file).toStdString());

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
        dialogs_.inform(QStringLiteral("cannot measure %1: %2")
                            .arg(files[i], QString::fromStdString(
                                               framework_.errorText(outcome.result))));
    }
    return allMeasured;
}

int ConsoleJoin::waitForEnd(JoinReferences& references, const QString& output, MediaTime total,
                            const std::atomic<bool>& interrupted, bool showProgress)
{
    std::shared_ptr<MediaSeeking> seeking;
    if (showProgress) {
        std::shared_ptr<FilterGraph> graph;
        if (references.renderEngine && succeeded(references.renderEngine->filterGraph(graph)) &&
            graph)
            graph->mediaSeeking(seeking);
    }

    for (;;) {
        bool completed = false;
        MediaResult abortCode = result::kOk;
        GraphEvent event;
        while (references.graphEvents && succeeded(references.graphEvents->getEvent(event, 0))) {
            references.graphEvents->freeEventParams(event);
            if (event.code == kEventComplete)
                completed = true;
            else if (event.code == kEventErrorAbort || event.code == kEventUserAbort)
                abortCode = event.param1 < 0 ? static_cast<MediaResult>(event.param1)
                                             : result::kFail;
        }
        if (failed(abortCode)) {
            if (showProgress)
                err_ << '\n';
            OutputGraph::release(references);
            QString text = QStringLiteral("the join failed: %1")
                               .arg(QString::fromStdString(framework_.errorText(abortCode)));
            // A file that could not even be created holds nothing worth naming.
            if (QFileInfo::exists(output))
                text += QStringLiteral(" %1 holds what was written before the failure.").arg(output);
            return refuse(text, kExitFailed);
        }
        if (completed) {
            if (showProgress)
                drawProgress(nullptr, total, true);
            OutputGraph::release(references);
            return kExitJoined;
        }
        if (interrupted) {
            if (showProgress)
                err_ << '\n';
            // Stopping closes the file with a header that matches what it holds.
            OutputGraph::release(references);
            return refuse(QStringLiteral("stopped; %1 holds what was written so far").arg(output),
                          kExitInterrupted);
        }
        if (showProgress)
            drawProgress(seeking.get(), total, false);

        std::unique_lock lock(mutex_);
        eventsArrived_.wait_for(lock, pollInterval, [this] { return eventsWaiting_; });
        eventsWaiting_ = false;
    }
}

void ConsoleJoin::drawProgress(MediaSeeking* seeking, MediaTime total, bool final)
{
    MediaTime position = final ? total : 0;
    if (seeking && failed(seeking->currentPosition(position)))
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
    char line[96];
    std::snprintf(line, sizeof line, "\r%5.1f%%  elapsed %s  left %s ", fraction * 100.0,
                  clock(static_cast<std::int64_t>(elapsed)).c_str(), left.c_str());
    err_ << line;
    if (final)
        err_ << '\n';
    err_ << std::flush;
}

} // namespace kestrine

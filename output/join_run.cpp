// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/join_run.h"

#include "output/framework/output_path_check.h"
#include "output/framework/path_bytes.h"
#include "output/timeline_builder.h"

namespace kestrine {

JoinRun::JoinRun(MediaFramework& framework, UserDialogs& dialogs)
    : framework_(framework), dialogs_(dialogs)
{
}

JoinRun::~JoinRun()
{
    // The graph must stop calling back into its front end before that goes.
    release();
}

MediaResult JoinRun::checkOutput(const QString& output, std::span<const ClipItem> sources)
{
    std::vector<std::string> sourceBytes;
    sourceBytes.reserve(sources.size());
    for (const ClipItem& item : sources)
        sourceBytes.push_back(pathToBytes(item.path));
    return checkOutputPath(pathToBytes(output), sourceBytes);
}

MediaResult JoinRun::start(std::span<const ClipItem> clipList, std::span<const ClipItem> audioList,
                           const QString& output, std::function<void()> notify,
                           MissingSourceHandler missingSourceHandler, const MarkerOptions& markers,
                           const TagOptions& tags, const AudioFormatRequest& format)
{
    if (const MediaResult prepared =
            prepare(clipList, audioList, output, std::move(notify), std::move(missingSourceHandler), markers, tags,
                    format);
        failed(prepared))
        return prepared;
    checkSources();
    return launch();
}

MediaResult JoinRun::prepare(std::span<const ClipItem> clipList, std::span<const ClipItem> audioList,
                             const QString& output, std::function<void()> notify,
                             MissingSourceHandler missingSourceHandler, const MarkerOptions& markers,
                             const TagOptions& tags, const AudioFormatRequest& format)
{
    // One join at a time: whatever the last one held goes first.
    release();
    state_ = JoinState::Idle;
    failure_ = result::kOk;
    failedSource_.clear();
    // The sources placed are the ones read; the clip list only gives the length.
    if (const MediaResult clash = checkOutput(output, audioList); failed(clash))
        return clash;

    missingSourceHandler_ = std::move(missingSourceHandler);
    markers_ = markers;
    tags_ = tags;
    TimelineBuilder builder(framework_, dialogs_, missingSourceHandler_, format);
    builder.place(clipList, audioList, references_.timeline);
    totalDuration_ = builder.totalDuration();
    output_ = output;
    notify_ = std::move(notify);
    return result::kOk;
}

MediaResult JoinRun::checkSources(std::stop_token stop)
{
    // A timeline that could not be made is for launch() to report.
    if (!references_.timeline)
        return result::kOk;
    const MediaResult checked =
        TimelineBuilder(framework_, dialogs_, missingSourceHandler_).validate(*references_.timeline, stop);
    return checked == result::kStopped ? checked : result::kOk;
}

MediaResult JoinRun::launch()
{
    OutputGraph(framework_, dialogs_).start(references_, output_, *this, markers_, tags_);
    if (state_ != JoinState::Running) {
        notify_ = {};
        return result::kFail;
    }
    return result::kOk;
}

std::function<void()> JoinRun::graphEventNotifier()
{
    return notify_;
}

void JoinRun::joinStarted()
{
    state_ = JoinState::Running;
}

JoinState JoinRun::takeEvents()
{
    while (state_ == JoinState::Running && references_.graphEvents) {
        GraphEvent event;
        if (failed(references_.graphEvents->getEvent(event, 0)))
            break;
        references_.graphEvents->freeEventParams(event);
        switch (event.code) {
        case kEventComplete:
            state_ = JoinState::Completed;
            break;
        case kEventErrorAbort:
            state_ = JoinState::Failed;
            // A graph that gives no reason still failed.
            failure_ = event.param1 < 0 ? static_cast<MediaResult>(event.param1) : result::kFail;
            failedSource_ = sourceName(event.param2 - 1);
            break;
        case kEventUserAbort:
            state_ = JoinState::Stopped;
            break;
        default:
            break;
        }
    }
    return state_;
}

void JoinRun::release()
{
    OutputGraph::release(references_);
    notify_ = {};
    if (state_ == JoinState::Running)
        state_ = JoinState::Stopped;
}

QString JoinRun::sourceName(std::intptr_t index) const
{
    std::shared_ptr<TimelineGroup> group;
    if (index < 0 || !references_.timeline || failed(references_.timeline->group(0, group)) || !group)
        return {};
    for (const auto& track : group->tracks()) {
        for (const auto& source : track->sources()) {
            if (index-- > 0)
                continue;
            std::string path;
            return succeeded(source->mediaName(path)) ? pathFromBytes(path) : QString();
        }
    }
    return {};
}

QString JoinRun::failureText() const
{
    const QString reason = QString::fromStdString(framework_.errorText(failure_));
    if (failedSource_.isEmpty())
        return reason;
    if (failure_ == result::kSourceShrank)
        return QStringLiteral("%1 is shorter than when it was added.").arg(failedSource_);
    return QStringLiteral("%1: %2").arg(failedSource_, reason);
}

std::shared_ptr<MediaSeeking> JoinRun::seeking() const
{
    std::shared_ptr<MediaSeeking> seeking;
    std::shared_ptr<FilterGraph> graph;
    if (references_.renderEngine && succeeded(references_.renderEngine->filterGraph(graph)) && graph)
        graph->mediaSeeking(seeking);
    return seeking;
}

} // namespace kestrine

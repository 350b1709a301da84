// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/framework/ffmpeg_filter_graph.h"

#include "media/format_choice.h"
#include "media/framework/group_render_plan.h"
#include "media/marker_lists.h"
#include "media/measure_duration.h"
#include "media/render_job.h"
#include "media/sample_clock.h"
#include "output/framework/output_path_check.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <system_error>

namespace kestrine {

FfmpegFilterGraph::~FfmpegFilterGraph()
{
    stop();
    for (auto& [name, filter] : filters_) {
        filter->disconnectAll();
        filter->graph = nullptr;
    }
}

MediaResult FfmpegFilterGraph::addFilter(std::shared_ptr<Filter> filter, const std::string& name)
{
    auto ours = std::dynamic_pointer_cast<FfmpegFilter>(filter);
    if (!ours)
        return result::kInvalidArgument;
    const std::lock_guard lock(filtersMutex_);
    if (ours->graph)
        return result::kInvalidArgument; // already in this graph or another one
    ours->graph = this;
    filters_.emplace_back(name, std::move(ours));
    return result::kOk;
}

MediaResult FfmpegFilterGraph::connect(std::shared_ptr<Pin> output, std::shared_ptr<Pin> input)
{
    auto from = std::dynamic_pointer_cast<FfmpegPin>(output);
    auto to = std::dynamic_pointer_cast<FfmpegPin>(input);
    if (!from || !to || from->direction() != PinDirection::Output
        || to->direction() != PinDirection::Input || from->kind() != to->kind())
        return result::kInvalidArgument;
    const std::lock_guard lock(filtersMutex_);
    if (!from->owner() || !to->owner() || !contains(*from->owner()) || !contains(*to->owner())
        || from->owner() == to->owner())
        return result::kWrongState;
    if (from->isConnected() || to->isConnected() || isRunning())
        return result::kWrongState;
    FfmpegPin::link(from, to);
    return result::kOk;
}

MediaResult FfmpegFilterGraph::renderFile(const std::string& path)
{
    if (path.empty())
        return result::kInvalidArgument;
    MediaTime length = 0;
    const MediaResult measured = measureDuration(path, length);
    if (failed(measured))
        return measured;
    const std::lock_guard lock(filtersMutex_);
    measuredLength_ = length;
    renderedPath_ = path;
    return result::kOk;
}

MediaResult FfmpegFilterGraph::soundFormat(SourceFormat& format) const
{
    std::string path;
    {
        const std::lock_guard lock(filtersMutex_);
        path = renderedPath_;
    }
    if (path.empty())
        return result::kWrongState;
    SourceFormat found;
    if (const MediaResult measured = measuredFormatOf(path, found); failed(measured))
        return measured;
    format.sampleRate = found.sampleRate;
    format.channels = found.channels;
    format.deep = found.deep;
    return result::kOk;
}

MediaResult FfmpegFilterGraph::mediaControl(std::shared_ptr<MediaControl>& control)
{
    control = shared_from_this();
    return result::kOk;
}

MediaResult FfmpegFilterGraph::mediaEvents(std::shared_ptr<MediaEvents>& events)
{
    events = shared_from_this();
    return result::kOk;
}

MediaResult FfmpegFilterGraph::mediaSeeking(std::shared_ptr<MediaSeeking>& seeking)
{
    seeking = shared_from_this();
    return result::kOk;
}

MediaResult FfmpegFilterGraph::findChain(Chain& chain) const
{
    bool unnamed = false;
    for (const auto& [name, filter] : filters_) {
        if (filter->kind() != FilterKind::FileWriter)
            continue;
        const auto writerInput = filter->firstPin(PinDirection::Input);
        const auto muxOutput = writerInput ? writerInput->peer() : nullptr;
        if (!muxOutput || !muxOutput->owner() || muxOutput->owner()->kind() != FilterKind::WaveMux)
            continue;
        const auto muxInput = muxOutput->owner()->firstPin(PinDirection::Input);
        const auto groupOutput = muxInput ? muxInput->peer() : nullptr;
        if (!groupOutput || !groupOutput->owner()
            || groupOutput->owner()->kind() != FilterKind::GroupSource)
            continue;
        auto writer = std::static_pointer_cast<FfmpegFileWriter>(filter);
        if (writer->fileName().empty()) {
            unnamed = true;
            continue;
        }
        chain.writer = std::move(writer);
        chain.markers = static_cast<const FfmpegWaveMux*>(muxOutput->owner())->markers();
        chain.tags = static_cast<const FfmpegWaveMux*>(muxOutput->owner())->tags();
        for (const auto& [otherName, other] : filters_) {
            if (other.get() == groupOutput->owner())
                chain.source = std::static_pointer_cast<FfmpegGroupSource>(other);
        }
        return chain.source ? result::kOk : result::kNotConnected;
    }
    return unnamed ? result::kNoFileName : result::kNotConnected;
}

MediaResult FfmpegFilterGraph::run()
{
    if (onWorkerThread())
        return result::kWrongState;
    const std::lock_guard runLock(runMutex_);
    if (isRunning())
        return result::kOk;
    if (worker_.joinable())
        worker_.join(); // the last run has ended on its own

    RenderPlan plan;
    std::string path;
    MarkerOptions markers;
    AudioFormatRequest request;
    TagOptions tags;
    {
        const std::lock_guard lock(filtersMutex_);
        Chain chain;
        if (const MediaResult found = findChain(chain); failed(found))
            return found;
        path = chain.writer->fileName();
        // The writer's format sets the rate the plan counts in.
        if (const MediaResult planned = makeRenderPlan(*chain.source->group(), plan, chain.writer->format());
            failed(planned))
            return planned;
        plan.withMarkers = chain.markers.inFile;
        // A format the container cannot hold is refused before any file is touched.
        request = chain.source->group()->formatRequest();
        if (!formatRequestProblem(request, plan.format.encoding).empty())
            return result::kInvalidArgument;
        std::error_code error;
        // Without overwrite mode an existing file is left alone rather than
        // written over in place, which would leave its old tail behind.
        if (!chain.writer->overwriteMode() && std::filesystem::exists(path, error))
            return result::kCannotCreateOutput;
        // Writing a source while it is read would destroy it.
        std::vector<std::string> sources;
        for (const auto& source : plan.sources)
            sources.push_back(source.path);
        if (const MediaResult checked = checkOutputPath(path, sources); failed(checked))
            return checked;
        if (const MediaResult checked = checkMarkerLists(chain.markers, path, sources); failed(checked))
            return checked;
        markers = chain.markers;
        tags = chain.tags;
        runLength_ = groupLength(*chain.source->group());
        runSampleRate_ = plan.format.sampleRate;
        progress_.framesComplete = 0;
        progress_.road = JoinRoad::Undecided;
        progress_.framesMeasured = 0;
        progress_.measuresFirst = false;
        runFinished_ = false;
        runCompleted_ = false;
        hasRun_ = true;
        active_ = true;
    }
    worker_ = std::jthread([this, plan = std::move(plan), path = std::move(path), markers = std::move(markers),
                            request, tags = std::move(tags)](std::stop_token stop) mutable {
        renderOnWorker(std::move(plan), path, markers, request, tags, stop);
    });
    return result::kOk;
}

void FfmpegFilterGraph::renderOnWorker(RenderPlan plan, const std::string& path, const MarkerOptions& markers,
                                       const AudioFormatRequest& request, const TagOptions& tags,
                                       std::stop_token stop)
{
    workerId_ = std::this_thread::get_id();
    // Every source is opened before anything is written: one that cannot be
    // any more fails the join while the old output is still untouched, and
    // the others tell the format the output takes, the rate their lengths
    // were counted at, and their tags.
    std::vector<SourceFormat> sourceFormats;
    std::vector<SourceTags> sourceTags;
    std::ptrdiff_t failedSource = -1;
    MediaResult rendered = findSourceFormats(plan, sourceFormats, failedSource, stop, &sourceTags);
    if (succeeded(rendered)) {
        plan.format = chooseOutputFormat(plan.format.encoding, request, sourceFormats);
        plan.request = request;
        // At the output's rate a very short source may fill no frame and
        // leave the plan: its title and rate must leave with it.
        takeSourceTitles(plan, sourceTags);
        std::vector<std::size_t> kept;
        rendered = countPlanFrames(plan, &kept);
        std::vector<SourceFormat> keptFormats;
        for (const std::size_t i : kept)
            keptFormats.push_back(sourceFormats[i]);
        sourceFormats = std::move(keptFormats);
    }
    if (succeeded(rendered)) {
        runSampleRate_ = plan.format.sampleRate;
        std::vector<int> sourceRates;
        for (const SourceFormat& format : sourceFormats)
            sourceRates.push_back(format.sampleRate);
        placeOnSampleClock(plan, sourceRates);
        // The sources' chapters are known only now, still before anything is written.
        rendered = checkCueSheetTracks(plan, markers);
    }
    if (succeeded(rendered)) {
        plan.tags = outputTagsOf(sourceTags, plan.sources.empty() ? std::string() : plan.sources[0].path, tags);
        rendered = renderJoin(plan, path, progress_, stop);
        failedSource = progress_.failedSource;
    }
    // Lists of where sources start describe a complete join only.
    if (succeeded(rendered))
        rendered = writeMarkerLists(plan, path, markers);
    runCompleted_ = succeeded(rendered) && !stop.stop_requested();
    // A stopped render is the controller's own doing: it hears nothing.
    if (!stop.stop_requested()) {
        if (succeeded(rendered))
            postEvent({kEventComplete, 0, 0});
        else
            postEvent({kEventErrorAbort, rendered,
                       failedSource >= 0 ? plan.sources[static_cast<std::size_t>(failedSource)].groupIndex + 1 : 0});
    }
    // Only now, so that a graph seen as finished has its event queued.
    runFinished_ = true;
}

MediaResult FfmpegFilterGraph::stop()
{
    // From the notify function the render is already over; joining the
    // thread from itself is impossible, and the next stop or the graph's end
    // does it.
    if (onWorkerThread())
        return result::kOk;
    const std::lock_guard runLock(runMutex_);
    if (worker_.joinable()) {
        worker_.request_stop();
        worker_.join();
    }
    active_ = false;
    return result::kOk;
}

bool FfmpegFilterGraph::isRunning() const
{
    return active_ && !runFinished_;
}

MediaResult FfmpegFilterGraph::removeFilter(const std::shared_ptr<FfmpegFilter>& filter)
{
    const std::lock_guard lock(filtersMutex_);
    if (isRunning())
        return result::kWrongState;
    const auto found = std::find_if(filters_.begin(), filters_.end(),
                                    [&](const auto& entry) { return entry.second == filter; });
    if (found == filters_.end())
        return result::kInvalidArgument;
    filter->disconnectAll();
    filter->graph = nullptr;
    filters_.erase(found);
    return result::kOk;
}

MediaResult FfmpegFilterGraph::removeAllFilters()
{
    const std::lock_guard lock(filtersMutex_);
    if (isRunning())
        return result::kWrongState;
    for (auto& [name, filter] : filters_) {
        filter->disconnectAll();
        filter->graph = nullptr;
    }
    filters_.clear();
    return result::kOk;
}

void FfmpegFilterGraph::postEvent(const GraphEvent& event)
{
    {
        const std::lock_guard lock(eventMutex_);
        events_.push_back(event);
    }
    eventArrived_.notify_all();
    const std::lock_guard lock(notifyMutex_);
    if (notify_)
        notify_();
}

MediaResult FfmpegFilterGraph::setNotify(std::function<void()> notify)
{
    const std::lock_guard lock(notifyMutex_);
    notify_ = std::move(notify);
    bool waiting = false;
    {
        const std::lock_guard eventLock(eventMutex_);
        waiting = !events_.empty();
    }
    // Events that came before the registration are not lost on the new holder.
    if (notify_ && waiting)
        notify_();
    return result::kOk;
}

MediaResult FfmpegFilterGraph::getEvent(GraphEvent& event, int timeoutMs)
{
    std::unique_lock lock(eventMutex_);
    const auto waiting = [this] { return !events_.empty(); };
    if (timeoutMs < 0)
        eventArrived_.wait(lock, waiting);
    else if (timeoutMs > 0)
        eventArrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), waiting);
    if (events_.empty())
        return result::kNoEvent;
    event = events_.front();
    events_.pop_front();
    return result::kOk;
}

MediaResult FfmpegFilterGraph::freeEventParams(const GraphEvent&)
{
    return result::kOk; // parameters are plain values
}

MediaResult FfmpegFilterGraph::stopPosition(MediaTime& position) const
{
    const std::lock_guard lock(filtersMutex_);
    if (measuredLength_) {
        position = *measuredLength_;
        return result::kOk;
    }
    for (const auto& [name, filter] : filters_) {
        if (filter->kind() == FilterKind::GroupSource) {
            position = groupLength(*std::static_pointer_cast<FfmpegGroupSource>(filter)->group());
            return result::kOk;
        }
    }
    return result::kWrongState;
}

MediaResult FfmpegFilterGraph::currentPosition(MediaTime& position) const
{
    if (!hasRun_) {
        position = 0;
        return result::kOk;
    }
    const MediaTime length = runLength_;
    if (runCompleted_) {
        position = length;
        return result::kOk;
    }
    // Output frames back to time, rounded down so that a position never
    // claims more than is written.
    std::int64_t frames = progress_.framesComplete;
    // Measuring first reads every source twice: each pass is half the way.
    if (progress_.measuresFirst)
        frames = (progress_.framesMeasured + frames) / 2;
    const MediaTime elapsed = frames * kUnitsPerSecond / runSampleRate_;
    position = std::min(elapsed, length);
    return result::kOk;
}

} // namespace kestrine

namespace kestrine {

JoinRoad FfmpegFilterGraph::road() const
{
    return progress_.road.load();
}

} // namespace kestrine

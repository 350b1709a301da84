// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/render_job.h"

#include "media/copying/copy_road.h"
#include "media/ffmpeg.h"
#include "media/loudness/loudness_pass.h"
#include "media/source_renderer.h"
#include "media/writing/container_factory.h"
#include "output/framework/worker_pool.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>

namespace kestrine {
namespace {

constexpr int kMaxOutputChannels = 8;
// A long source is cut into a few stretches per worker, so that a core that
// falls behind does not leave the others waiting at the end.
constexpr std::int64_t kStretchesPerWorker = 4;

// One piece of the output: a source or a stretch of one, or silence where
// no source plays.
struct Segment {
    const PlannedSource* source = nullptr;
    std::int64_t firstFrame = 0;
    std::int64_t endFrame = 0;
    SplitKind split = SplitKind::None; // how the source is cut, when it is
};

MediaResult checkPlan(const RenderPlan& plan)
{
    const OutputFormat& format = plan.format;
    if ((format.bitsPerSample != 16 && format.bitsPerSample != 24) || format.channels < 1 || format.channels > kMaxOutputChannels ||
        format.sampleRate < 1 || format.sampleRate > kHighestSampleRate || plan.totalFrames < 0)
        return result::kInvalidArgument;
    std::int64_t previousEnd = 0;
    for (const PlannedSource& source : plan.sources) {
        if (source.firstFrame < previousEnd || source.endFrame < source.firstFrame ||
            source.endFrame > plan.totalFrames)
            return result::kInvalidArgument;
        previousEnd = source.endFrame;
    }
    return result::kOk;
}

// A source longer than its share of the join (the join's length over the
// workers) is cut into stretches, each decoded by whichever worker is free,
// where its codec lets decoders started apart give exactly what one gives.
// No stretch is shorter than `leastStretch`, so short files stay whole.
std::vector<Segment> splitIntoSegments(const RenderPlan& plan, int workers, std::int64_t leastStretch,
                                       std::int64_t reach, std::stop_token stop)
{
    std::vector<Segment> segments;
    std::int64_t at = 0;
    for (const PlannedSource& source : plan.sources) {
        if (source.firstFrame > at)
            segments.push_back({nullptr, at, source.firstFrame});
        const std::int64_t range = source.endFrame - source.firstFrame;
        std::int64_t stretch = range;
        SplitKind split = SplitKind::None;
        if (workers > 1 && range >= 2 * leastStretch && range * workers > plan.totalFrames) {
            split = splitKindOf(source.path, plan.format.sampleRate, stop);
            const std::int64_t pieces = workers * kStretchesPerWorker;
            // Where the output takes its frames in order through a window,
            // every worker's stretch fits in it at once, or the workers
            // ahead would wait for the one behind.
            if (split != SplitKind::None)
                stretch = std::clamp(std::max(leastStretch, (range + pieces - 1) / pieces), std::int64_t{1},
                                     std::max<std::int64_t>(reach / workers, 1));
        }
        for (std::int64_t first = source.firstFrame; first < source.endFrame; first += stretch)
            segments.push_back({&source, first, std::min(first + stretch, source.endFrame), split});
        at = source.endFrame;
    }
    if (plan.totalFrames > at)
        segments.push_back({nullptr, at, plan.totalFrames});
    return segments;
}

// Turns the workers' reports into "complete from the beginning": the first
// unfinished segment's start plus what of it is written.
class PrefixTracker {
public:
    PrefixTracker(const std::vector<Segment>& segments, std::int64_t totalFrames, RenderProgress& progress)
        : segments_(segments), written_(segments.size(), 0), finished_(segments.size(), false),
          totalFrames_(totalFrames), progress_(progress)
    {
    }

    void report(std::size_t segment, std::int64_t framesWritten, bool finished)
    {
        const std::lock_guard lock(mutex_);
        written_[segment] = framesWritten;
        // A segment whose every frame is written is complete, even when its
        // worker stops before it says so: the output has all of it, and
        // counts the next segment's frames from its end on.
        finished_[segment] = finished_[segment] || finished ||
                             framesWritten == segments_[segment].endFrame - segments_[segment].firstFrame;
        while (first_ < segments_.size() && finished_[first_])
            ++first_;
        const std::int64_t complete =
            first_ < segments_.size() ? segments_[first_].firstFrame + written_[first_] : totalFrames_;
        if (complete > complete_) {
            complete_ = complete;
            progress_.framesComplete.store(complete, std::memory_order_release);
        }
    }

    std::int64_t complete() const
    {
        const std::lock_guard lock(mutex_);
        return complete_;
    }

private:
    const std::vector<Segment>& segments_;
    std::vector<std::int64_t> written_;
    std::vector<bool> finished_;
    std::int64_t totalFrames_;
    RenderProgress& progress_;
    mutable std::mutex mutex_;
    std::size_t first_ = 0;
    std::int64_t complete_ = 0;
};

// What the workers share: the next segment to take and the first failure.
class RenderWork {
public:
    RenderWork(const RenderPlan& plan, const std::vector<Segment>& segments, OutputSink& output,
               PrefixTracker& tracker, std::stop_token stop)
        : plan_(plan), segments_(segments), output_(output), tracker_(tracker),
          // Writers that wait on the output for room must not outwait the work.
          cancelLink_(failStop_.get_token(), [this] { output_.cancelWrites(); }),
          stopLink_(stop, [this] { failStop_.request_stop(); })
    {
    }

    // One worker: takes segments in output order until none is left or the work stops.
    void runWorker()
    {
        RenderBuffers buffers;
        const std::stop_token stop = failStop_.get_token();
        for (;;) {
            const std::size_t index = next_.fetch_add(1);
            if (index >= segments_.size() || stop.stop_requested())
                return;
            const MediaResult rendered = renderSegment(index, stop, buffers);
            if (failed(rendered) && rendered != result::kStopped) {
                const std::lock_guard lock(mutex_);
                if (!failure_) {
                    failure_ = rendered;
                    if (const PlannedSource* source = segments_[index].source)
                        failedSource_ = source - plan_.sources.data();
                }
                failStop_.request_stop();
            }
        }
    }

    std::optional<MediaResult> failure() const
    {
        const std::lock_guard lock(mutex_);
        return failure_;
    }
    std::ptrdiff_t failedSource() const
    {
        const std::lock_guard lock(mutex_);
        return failedSource_;
    }

private:
    MediaResult renderSegment(std::size_t index, std::stop_token stop, RenderBuffers& buffers)
    {
        const Segment& segment = segments_[index];
        MediaResult rendered = result::kOk;
        if (segment.source) {
            const SourceStretch stretch{segment.firstFrame - segment.source->firstFrame,
                                        segment.endFrame - segment.firstFrame, segment.split};
            rendered = renderSource(
                *segment.source, plan_.format, output_, stop, buffers,
                [&](std::int64_t written) { tracker_.report(index, written, false); }, nullptr, stretch);
        } else {
            rendered = output_.writeSilence(segment.firstFrame, segment.endFrame - segment.firstFrame, stop);
        }
        if (succeeded(rendered))
            tracker_.report(index, segment.endFrame - segment.firstFrame, true);
        return rendered;
    }

    const RenderPlan& plan_;
    const std::vector<Segment>& segments_;
    OutputSink& output_;
    PrefixTracker& tracker_;
    std::atomic<std::size_t> next_{0};
    std::stop_source failStop_;
    mutable std::mutex mutex_;
    std::optional<MediaResult> failure_;
    std::ptrdiff_t failedSource_ = -1;
    std::stop_callback<std::function<void()>> cancelLink_;
    std::stop_callback<std::function<void()>> stopLink_;
};

// The workers write the plan's frames into `output`; what it keeps at the
// end is what is complete from the start.
MediaResult renderInto(const RenderPlan& plan, OutputSink& output, RenderProgress& progress,
                       std::stop_token stop, const RenderOptions& options)
{
    const int workers = workerCount(std::numeric_limits<std::size_t>::max(), options.workers);
    const auto leastStretch = static_cast<std::int64_t>(options.leastStretchSeconds * plan.format.sampleRate);
    const std::vector<Segment> segments = splitIntoSegments(plan, workers, std::max<std::int64_t>(leastStretch, 1), output.reach(), stop);
    PrefixTracker tracker(segments, plan.totalFrames, progress);
    std::optional<MediaResult> failure;
    {
        RenderWork work(plan, segments, output, tracker, stop);
        // A failed claim is not the join's failure: the next one, or the
        // finish, says whether the disk still takes writes.
        runOnWorkers(workerCount(segments.size(), options.workers), [&] { work.runWorker(); },
                     options.claimInterval, [&] { output.claim(tracker.complete()); });
        failure = work.failure();
        progress.failedSource = work.failedSource();
    }
    const std::int64_t complete = tracker.complete();
    if (!failure && complete == plan.totalFrames)
        return output.finish(complete);
    const MediaResult ended = failure.value_or(result::kStopped);
    // Nothing worth keeping: whatever stood at the output path stays as it
    // was. A source that lost sound since it was measured makes the join
    // one the user did not ask for, from its start.
    if (complete == 0 || ended == result::kSourceShrank) {
        output.discard();
        return ended;
    }
    // The file keeps what is complete from the start, and says so.
    const MediaResult finished = output.finish(complete);
    return failed(finished) ? finished : ended;
}

} // namespace

MediaResult renderJoin(const RenderPlan& plan, const std::string& path, RenderProgress& progress,
                       std::stop_token stop, const RenderOptions& options)
{
    if (const MediaResult checked = checkPlan(plan); failed(checked))
        return checked;
    const LoudnessRequest& loudness = plan.request.loudness;
    RenderPlan measuredPlan = plan;
    std::vector<double> gains;
    if (loudness.mode != LoudnessMode::Leave) {
        // Measured before the output is made: its tags may need the result, and
        // a join stopped while measuring leaves the output path untouched.
        progress.measuresFirst = true;
        LoudnessMeasurement measurement;
        std::ptrdiff_t failedSource = -1;
        if (const MediaResult measured =
                measureLoudness(plan, measurement, progress.framesMeasured, failedSource, stop, options.workers);
            failed(measured)) {
            progress.failedSource = failedSource;
            return measured;
        }
        if (loudness.mode == LoudnessMode::Tags) {
            const double gain = std::isfinite(measurement.join.integrated)
                                    ? loudness.target - measurement.join.integrated
                                    : 0.0;
            measuredPlan.tags.playbackGain = PlaybackGain{measurement.join.integrated, gain, measurement.join.truePeak};
        }
        gains = sourceGainsFor(loudness, measurement);
    }

    RoadChoice choice = chooseJoinRoad(measuredPlan, stop);
    progress.road.store(choice.road);
    if (choice.road == JoinRoad::Copy) {
        const MediaResult copied = choice.copier->write(measuredPlan, path, progress, stop);
        if (copied != result::kFalse)
            return copied;
        // A source that was not what its header said: every source is decoded after all.
        progress.framesComplete.store(0);
        progress.road.store(JoinRoad::Encode);
    }
    std::unique_ptr<OutputSink> output;
    if (const MediaResult created = createOutputSink(measuredPlan, path, output, options.workers); failed(created))
        return created;
    // Without a gain the sink stays the file itself, which the kernel can copy into.
    if (std::all_of(gains.begin(), gains.end(), [](double gain) { return gain == 0.0; }))
        return renderInto(measuredPlan, *output, progress, stop, options);
    GainSink withGains(*output, measuredPlan, gains);
    return renderInto(measuredPlan, withGains, progress, stop, options);
}

MediaResult renderToWav(const RenderPlan& plan, const std::string& outputPath, RenderProgress& progress,
                        std::stop_token stop, const RenderOptions& options)
{
    if (plan.format.encoding != Encoding::Wav)
        return result::kInvalidArgument;
    return renderJoin(plan, outputPath, progress, stop, options);
}

} // namespace kestrine

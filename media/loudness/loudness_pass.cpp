// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/loudness/loudness_pass.h"

#include "media/loudness/loudness_meter.h"
#include "media/source_renderer.h"
#include "output/framework/worker_pool.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <optional>

namespace kestrine {
namespace {

// The plan's source whose range holds `frame`; -1 when none does.
template <typename Ranges>
std::ptrdiff_t rangeHolding(const Ranges& ranges, std::int64_t frame)
{
    const auto after = std::upper_bound(ranges.begin(), ranges.end(), frame,
                                        [](std::int64_t at, const auto& range) { return at < range.firstFrame; });
    if (after == ranges.begin())
        return -1;
    const auto found = std::prev(after);
    return frame < found->endFrame ? found - ranges.begin() : -1;
}

// Takes what the render would write and measures it: each source's frames
// go to a meter of its own, fed in order by the one worker that renders it.
class MeasuringSink final : public OutputSink {
public:
    MeasuringSink(const RenderPlan& plan, std::vector<std::unique_ptr<LoudnessMeter>>& meters,
                  std::atomic<std::int64_t>& framesMeasured)
        : sources_(plan.sources), meters_(meters), framesMeasured_(framesMeasured),
          bytesPerFrame_(plan.format.channels * plan.format.bitsPerSample / 8)
    {
    }

    int bytesPerFrame() const override { return bytesPerFrame_; }
    MediaResult writeFrames(std::int64_t frame, const void* data, std::int64_t frames) override
    {
        const std::ptrdiff_t source = rangeHolding(sources_, frame);
        if (source < 0)
            return result::kOk;
        framesMeasured_ += frames;
        return meters_[static_cast<std::size_t>(source)]->addFrames(data, frames);
    }
    MediaResult writeSilence(std::int64_t frame, std::int64_t frames, std::stop_token) override
    {
        const std::ptrdiff_t source = rangeHolding(sources_, frame);
        if (source < 0)
            return result::kOk;
        framesMeasured_ += frames;
        return meters_[static_cast<std::size_t>(source)]->addSilence(frames);
    }
    MediaResult finish(std::int64_t) override { return result::kOk; }
    void discard() override {}

private:
    const std::vector<PlannedSource>& sources_;
    std::vector<std::unique_ptr<LoudnessMeter>>& meters_;
    std::atomic<std::int64_t>& framesMeasured_;
    int bytesPerFrame_;
};

std::int16_t scaled16(std::int16_t sample, double factor)
{
    // Clamped before it is rounded: the same result, and a loop the compiler can widen.
    return static_cast<std::int16_t>(std::lrint(std::min(std::max(sample * factor, -32768.0), 32767.0)));
}

void scale24(const std::uint8_t* in, std::uint8_t* out, double factor)
{
    const std::int32_t sample =
        static_cast<std::int32_t>(std::uint32_t(in[0]) << 8 | std::uint32_t(in[1]) << 16 | std::uint32_t(in[2]) << 24) >> 8;
    const auto value = static_cast<std::uint32_t>(std::clamp(std::lrint(sample * factor), -8388608L, 8388607L));
    out[0] = static_cast<std::uint8_t>(value);
    out[1] = static_cast<std::uint8_t>(value >> 8);
    out[2] = static_cast<std::uint8_t>(value >> 16);
}

} // namespace

MediaResult measureLoudness(const RenderPlan& plan, LoudnessMeasurement& measurement,
                            std::atomic<std::int64_t>& framesMeasured, std::ptrdiff_t& failedSource,
                            std::stop_token stop, int workers)
{
    // A meter lives while its source is measured; what the join needs of it
    // afterwards is two numbers and its blocks, merged into the join's. So
    // memory grows with the workers, not with the sources.
    std::vector<std::unique_ptr<LoudnessMeter>> meters(plan.sources.size());
    std::vector<Loudness> sources(plan.sources.size());
    GatedBlocks joinBlocks;
    MeasuringSink sink(plan, meters, framesMeasured);
    std::atomic<std::size_t> next{0};
    std::stop_source failStop;
    const std::stop_callback stopLink(stop, [&] { failStop.request_stop(); });
    std::mutex mutex;
    std::optional<MediaResult> failure;
    const auto fail = [&](MediaResult failedWith, std::size_t index) {
        const std::lock_guard lock(mutex);
        if (!failure) {
            failure = failedWith;
            failedSource = static_cast<std::ptrdiff_t>(index);
        }
        failStop.request_stop();
    };
    runOnWorkers(workerCount(plan.sources.size(), workers), [&] {
        RenderBuffers buffers;
        const std::stop_token workerStop = failStop.get_token();
        for (std::size_t index = next++; index < plan.sources.size() && !workerStop.stop_requested();
             index = next++) {
            std::unique_ptr<LoudnessMeter>& meter = meters[index];
            if (const MediaResult created = LoudnessMeter::create(plan.format.channels, plan.format.sampleRate,
                                                                  plan.format.bitsPerSample, meter);
                failed(created)) {
                fail(created, index);
                break;
            }
            const MediaResult measured =
                renderSource(plan.sources[index], plan.format, sink, workerStop, buffers, [](std::int64_t) {});
            if (failed(measured) && measured != result::kStopped)
                fail(measured, index);
            if (succeeded(measured)) {
                sources[index] = {meter->integrated(), meter->truePeak()};
                const std::lock_guard lock(mutex);
                joinBlocks.merge(meter->blocks());
            }
            meter.reset();
        }
    });
    if (failure)
        return *failure;
    if (stop.stop_requested())
        return result::kStopped;

    measurement.sources = std::move(sources);
    measurement.join = {joinBlocks.integrated(), 0.0};
    for (const Loudness& source : measurement.sources)
        measurement.join.truePeak = std::max(measurement.join.truePeak, source.truePeak);
    return result::kOk;
}

std::vector<double> sourceGainsFor(const LoudnessRequest& request, const LoudnessMeasurement& measurement)
{
    std::vector<double> gains(measurement.sources.size(), 0.0);
    // Lowered where the loudest true peak would pass the ceiling: the sound
    // keeps its shape, where a limiter would reach the target by changing it.
    const auto gainFor = [&](const Loudness& loudness) {
        if (!std::isfinite(loudness.integrated))
            return 0.0;
        const double gain = request.target - loudness.integrated;
        return std::min(gain, request.truePeakCeiling - decibelsOf(loudness.truePeak));
    };
    switch (request.mode) {
    case LoudnessMode::Leave:
    case LoudnessMode::Tags:
        break;
    case LoudnessMode::Track:
        for (std::size_t i = 0; i < gains.size(); ++i)
            gains[i] = gainFor(measurement.sources[i]);
        break;
    case LoudnessMode::Album:
        std::fill(gains.begin(), gains.end(), gainFor(measurement.join));
        break;
    }
    return gains;
}

GainSink::GainSink(OutputSink& inner, const RenderPlan& plan, const std::vector<double>& gains)
    : inner_(inner), bitsPerSample_(plan.format.bitsPerSample), channels_(plan.format.channels)
{
    for (std::size_t i = 0; i < plan.sources.size() && i < gains.size(); ++i)
        if (gains[i] != 0.0)
            ranges_.push_back({plan.sources[i].firstFrame, plan.sources[i].endFrame, linearOf(gains[i])});
}

MediaResult GainSink::writeFrames(std::int64_t frame, const void* data, std::int64_t frames)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    const int frameBytes = bytesPerFrame();
    // Workers write side by side, each through a buffer of its own, kept
    // from one write to the next.
    thread_local std::vector<std::uint8_t> scaled;
    while (frames > 0) {
        const std::ptrdiff_t range = rangeHolding(ranges_, frame);
        // Up to where the next range starts or this one ends.
        std::int64_t count = frames;
        if (range >= 0) {
            count = std::min(count, ranges_[static_cast<std::size_t>(range)].endFrame - frame);
        } else {
            const auto nextRange = std::upper_bound(ranges_.begin(), ranges_.end(), frame,
                                                    [](std::int64_t at, const Range& r) { return at < r.firstFrame; });
            if (nextRange != ranges_.end())
                count = std::min(count, nextRange->firstFrame - frame);
        }
        const void* out = bytes;
        if (range >= 0) {
            const double factor = ranges_[static_cast<std::size_t>(range)].factor;
            const std::size_t samples = static_cast<std::size_t>(count * channels_);
            scaled.resize(static_cast<std::size_t>(count * frameBytes));
            std::uint8_t* target = scaled.data();
            if (bitsPerSample_ == 16) {
                for (std::size_t i = 0; i < samples; ++i) {
                    std::int16_t sample;
                    std::memcpy(&sample, bytes + 2 * i, 2);
                    const std::int16_t result = scaled16(sample, factor);
                    std::memcpy(target + 2 * i, &result, 2);
                }
            } else {
                for (std::size_t i = 0; i < samples; ++i)
                    scale24(bytes + 3 * i, target + 3 * i, factor);
            }
            out = scaled.data();
        }
        if (const MediaResult written = inner_.writeFrames(frame, out, count); failed(written))
            return written;
        bytes += count * frameBytes;
        frame += count;
        frames -= count;
    }
    return result::kOk;
}

} // namespace kestrine

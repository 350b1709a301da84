// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/output_sink.h"
#include "media/render_plan.h"
#include "output/framework/media_framework.h"
#include "output/framework/media_result.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stop_token>
#include <vector>

namespace kestrine {

struct Loudness {
    double integrated = 0.0; // LUFS; -infinity for silence
    double truePeak = 0.0;   // linear
};

struct LoudnessMeasurement {
    std::vector<Loudness> sources; // by the plan's sources
    Loudness join;                 // every source as one stream
};

// The first pass of a join that minds loudness: every source of the plan
// decoded as the render will write it, and measured instead of written.
// `framesMeasured` counts the frames measured so far; a failure that a source
// caused leaves its index in `failedSource`. result::kStopped when `stop` is
// requested first.
MediaResult measureLoudness(const RenderPlan& plan, LoudnessMeasurement& measurement,
                            std::atomic<std::int64_t>& framesMeasured, std::ptrdiff_t& failedSource,
                            std::stop_token stop, int workers = 0);

// The gain in decibels for each source that brings the join to the request's
// target: each source on its own (Track) or the whole join by one gain
// (Album), lowered where the true peak would pass the ceiling. Silence gets
// no gain. Leave and Tags change nothing: every gain is 0.
std::vector<double> sourceGainsFor(const LoudnessRequest& request, const LoudnessMeasurement& measurement);

// A sink that hands the frames of each source on to `inner` with that
// source's gain; silence and frames outside every source pass unchanged.
// Gains are in decibels, by the plan's sources.
class GainSink final : public OutputSink {
public:
    GainSink(OutputSink& inner, const RenderPlan& plan, const std::vector<double>& gains);

    int bytesPerFrame() const override { return inner_.bytesPerFrame(); }
    MediaResult writeFrames(std::int64_t frame, const void* data, std::int64_t frames) override;
    MediaResult writeSilence(std::int64_t frame, std::int64_t frames, std::stop_token stop = {}) override
    {
        return inner_.writeSilence(frame, frames, stop);
    }
    std::int64_t reach() const override { return inner_.reach(); }
    MediaResult claim(std::int64_t frames) override { return inner_.claim(frames); }
    void cancelWrites() override { inner_.cancelWrites(); }
    MediaResult finish(std::int64_t frames) override { return inner_.finish(frames); }
    void discard() override { inner_.discard(); }

private:
    struct Range {
        std::int64_t firstFrame;
        std::int64_t endFrame;
        double factor;
    };
    OutputSink& inner_;
    int bitsPerSample_;
    int channels_;
    std::vector<Range> ranges_; // in output order; only those whose gain is not 0 dB
};

} // namespace kestrine

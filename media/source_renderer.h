// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/decoding/source_stretches.h"
#include "media/output_sink.h"
#include "media/render_plan.h"
#include "output/framework/media_result.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <vector>

namespace kestrine {

// Scratch memory of one worker, reused from source to source, so memory does
// not grow with the number or the length of the files.
struct RenderBuffers {
    std::vector<std::uint8_t> pending;   // converted frames waiting for one large write
    std::vector<std::uint8_t> converted; // the resampler's output for one decoded frame
    std::vector<std::uint8_t> copy;      // the copy path's buffer where the kernel cannot copy
    // The file this worker last read in stretches, where it stopped reading:
    // its next stretch of the same file reads on from there.
    std::unique_ptr<StretchReader> stretchReader;
};

// A part of a source's output range, rendered on its own: the range's frames
// [offset, offset + frames).
struct SourceStretch {
    std::int64_t offset = 0;
    std::int64_t frames = -1; // -1: to the range's end
    // How the file may be cut; None decodes it from its start and drops
    // what lies before the stretch.
    SplitKind kind = SplitKind::None;
};

// Told how many frames of the range, from its start, are written so far.
using RangeProgress = std::function<void(std::int64_t framesWritten)>;

// Fills output frames [source.firstFrame, source.endFrame) with the source's
// sound from its media start: decoded, resampled and remixed to the output's
// format, or copied as it is when the file already is a WAV in that format.
// Cut where the sound is longer than the range, padded with silence where the
// range is longer than the sound the source was measured to hold. A file that
// gives more than a frame less than that (cut after it was measured, before
// or while it is read) is result::kSourceShrank.
// result::kStopped when `stop` is requested first. `framesFromFile`, when
// given, is told how many frames of the range came from the file, not padding.
// With `stretch`, only that part of the range, sample for sample as the
// whole range would hold it; progress counts from the stretch's start.
MediaResult renderSource(const PlannedSource& source, const OutputFormat& format, OutputSink& output,
                         std::stop_token stop, RenderBuffers& buffers, const RangeProgress& progress,
                         std::int64_t* framesFromFile = nullptr, const SourceStretch& stretch = {});

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/render_plan.h"

#include "media/ffmpeg.h"

namespace kestrine {

std::int64_t frameAt(MediaTime time, int sampleRate)
{
    // FFmpeg's rescale is exact past 64 bits and rounds half away from zero.
    return av_rescale_rnd(time, sampleRate, kUnitsPerSecond, AV_ROUND_NEAR_INF);
}

} // namespace kestrine

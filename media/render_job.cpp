// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/render_job.h"

#include "media/ffmpeg.h"

namespace kestrine {

std::int64_t frameAt(MediaTime time, int sampleRate)
{
    // FFmpeg's rescale is exact past 64 bits and rounds half away from zero.
    return av_rescale_rnd(time, sampleRate, kUnitsPerSecond, AV_ROUND_NEAR_INF);
}

MediaResult renderToWav(const RenderPlan&, const std::string&, RenderProgress&, std::stop_token,
                        const RenderOptions&)
{
    return result::kFail; // not written yet
}

MediaResult measureDuration(const std::string&, MediaTime&)
{
    return result::kFail; // not written yet
}

std::string describeResult(MediaResult)
{
    return "Unknown error.";
}

} // namespace kestrine

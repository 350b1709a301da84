// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/render_job.h"

namespace kestrine {

std::int64_t frameAt(MediaTime time, int sampleRate)
{
    // Exact in 128-bit: round half away from zero of time * rate / 10^7.
    const __int128 scaled = static_cast<__int128>(time) * sampleRate;
    const __int128 half = kUnitsPerSecond / 2;
    return static_cast<std::int64_t>(scaled >= 0 ? (scaled + half) / kUnitsPerSecond
                                                 : -((-scaled + half) / kUnitsPerSecond));
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

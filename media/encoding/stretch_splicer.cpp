// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/encoding/stretch_splicer.h"

#include <algorithm>

namespace kestrine {
namespace {

// A few seconds at the usual rates: long beside any lead-in, short enough
// that a stopped join's last stretches are encoded at once.
constexpr std::int64_t kLongestStretch = std::int64_t{1} << 18;
constexpr std::int64_t kFewestEncoderFrames = 8;

} // namespace

std::int64_t StretchSplicer::stretchFrames(int frameSize, int bytesPerFrame, int held, std::int64_t bytes) const
{
    const std::int64_t fitting = bytes / std::max(1, held) / std::max(1, bytesPerFrame) -
                                 leadIn(frameSize) - leadOut(frameSize);
    const std::int64_t frames = std::min(kLongestStretch, fitting);
    return std::max(kFewestEncoderFrames, frames / frameSize) * frameSize;
}

} // namespace kestrine

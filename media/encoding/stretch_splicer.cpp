// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/encoding/stretch_splicer.h"

#include <algorithm>

namespace kestrine {
namespace {

constexpr std::int64_t kFewestEncoderFrames = 8;

} // namespace

std::int64_t StretchSplicer::stretchFrames(int frameSize, int bytesPerFrame, int held, std::int64_t bytes) const
{
    const std::int64_t fitting = bytes / std::max(1, held) / std::max(1, bytesPerFrame) -
                                 leadIn(frameSize) - leadOut(frameSize);
    const std::int64_t frames = std::min(longestStretch(), fitting);
    return std::max(kFewestEncoderFrames, frames / frameSize) * frameSize;
}

} // namespace kestrine

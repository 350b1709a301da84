// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/ffmpeg.h"
#include "output/media_result.h"

#include <cstdint>

namespace kestrine {

// Puts an encoder's packets into a file of its container format.
class ContainerWriter {
public:
    virtual ~ContainerWriter() = default;

    // Whether the container wants the codec's setup in extradata.
    virtual bool wantsGlobalHeader() const = 0;
    virtual MediaResult writeHeader(const AVCodecContext& codec) = 0;
    // Timestamps in the codec's time base.
    virtual MediaResult writePacket(AVPacket& packet) = 0;
    // Ends the file once the encoder is flushed; `frames` is what it holds.
    virtual MediaResult writeTrailer(const AVCodecContext& codec, std::int64_t frames) = 0;
};

} // namespace kestrine

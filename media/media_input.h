// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/ffmpeg.h"
#include "output/media_result.h"

#include <string>

namespace kestrine {

// An open media file and its first decodable audio stream.
struct MediaInput {
    InputFormatPtr format;
    const AVCodec* codec = nullptr;
    CodecContextPtr decoder; // only when asked for
    int streamIndex = -1;

    AVStream* stream() const { return format->streams[streamIndex]; }
};

// openInputFile, findAudioStream and, with `withDecoder`, openDecoder in one.
// kCannotOpenSource, kNoAudioStream or kNoDecoder say which step failed.
MediaResult openMediaInput(const std::string& path, MediaInput& input, bool withDecoder);

MediaResult openDecoder(MediaInput& input);

} // namespace kestrine

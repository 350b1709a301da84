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

// Ogg's end trimming, as this FFmpeg applies it, can cut up to a block of real
// samples off a Vorbis stream; its packet timestamps hold the true length.
bool trimsEndUnreliably(const MediaInput& input);

// With `manualSkip`, the decoder leaves trimming to the caller: frames come
// whole, with AV_FRAME_DATA_SKIP_SAMPLES saying what FFmpeg would have cut.
MediaResult openDecoder(MediaInput& input, bool manualSkip = false);

} // namespace kestrine

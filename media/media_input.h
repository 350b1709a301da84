// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/ffmpeg.h"
#include "output/framework/media_result.h"

#include <memory>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace kestrine {

// An open media file and its first decodable audio stream.
struct MediaInput {
    InputFormatPtr format;
    const AVCodec* codec = nullptr;
    CodecContextPtr decoder; // only when asked for
    int streamIndex = -1;
    // FFmpeg holds its address to ask whether to give up, so it never moves.
    std::unique_ptr<std::stop_token> stop = std::make_unique<std::stop_token>();

    AVStream* stream() const { return format->streams[streamIndex]; }
};

// Options for the demuxer, by FFmpeg's names: {"ignore_editlist", "1"}.
using DemuxerOptions = std::vector<std::pair<std::string, std::string>>;

// Opens the file's container, and nothing else: a quick test that it is media.
// Only as a regular file through FFmpeg's file protocol, whatever its name.
MediaResult openInputFile(const std::string& path, MediaInput& input, const DemuxerOptions& demuxerOptions = {});

// openInputFile, findAudioStream and, with `withDecoder`, openDecoder in one.
// FFmpeg's code for why the file did not open (AVERROR(ENOENT),
// AVERROR(EACCES), AVERROR_INVALIDDATA ...), or kSourceNotRegularFile,
// kNoAudioStream, kUnsupportedRate or kNoDecoder for the later steps. Opening and every later read give up
// with result::kStopped or AVERROR_EXIT soon after `stop` is requested.
MediaResult openMediaInput(const std::string& path, MediaInput& input, bool withDecoder,
                           std::stop_token stop = {}, const DemuxerOptions& demuxerOptions = {});

// Ogg's end trimming, as this FFmpeg applies it, can cut up to a block of real
// samples off a Vorbis stream; its packet timestamps hold the true length.
bool trimsEndUnreliably(const MediaInput& input);

// With `manualSkip`, the decoder leaves trimming to the caller: frames come
// whole, with AV_FRAME_DATA_SKIP_SAMPLES saying what FFmpeg would have cut.
MediaResult openDecoder(MediaInput& input, bool manualSkip = false);

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/ffmpeg.h"
#include "media/markers.h"
#include "output/framework/media_result.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrine {

// One of FFmpeg's muxers writing into a file we opened, for the writers of
// the containers FFmpeg writes correctly (MP3, MP4, Ogg). A failed write of
// the file is kept, so that a full disk is told as such rather than as
// FFmpeg's I/O error.
class FfmpegMuxer {
public:
    // `muxer` is FFmpeg's name for it; `path` names the file for FFmpeg's
    // checks of its extension; `fd` is written.
    static MediaResult create(const char* muxer, int fd, const std::string& path,
                              std::unique_ptr<FfmpegMuxer>& made);
    FfmpegMuxer(const FfmpegMuxer&) = delete;
    FfmpegMuxer& operator=(const FfmpegMuxer&) = delete;

    AVFormatContext& context() { return *context_; }
    AVStream& stream() { return *stream_; }
    bool wantsGlobalHeader() const;

    // The stream as `codec` makes it, and the header; `options` as FFmpeg's
    // muxer takes them. The bytes of the header are kept (headers()).
    MediaResult writeHeader(const AVCodecContext& codec, DictionaryPtr options);
    MediaResult writePacket(AVPacket& packet, int sampleRate);
    MediaResult writeTrailer();
    // What writeHeader wrote at the start of the file.
    const std::vector<std::uint8_t>& headers() const { return headers_; }
    int fd() const { return fd_; }
    MediaResult resultOf(int error) const;

private:
    explicit FfmpegMuxer(int fd) : fd_(fd) {}
#if LIBAVFORMAT_VERSION_MAJOR >= 61
    static int writeBytes(void* opaque, const std::uint8_t* data, int size);
#else
    static int writeBytes(void* opaque, std::uint8_t* data, int size);
#endif
    static std::int64_t seekTo(void* opaque, std::int64_t offset, int whence);

    int fd_;
    IoContextPtr io_;
    OutputFormatPtr context_; // after io_: it goes first, and never closes io_
    AVStream* stream_ = nullptr;
    std::int64_t position_ = 0;
    MediaResult writeFailure_ = result::kOk;
    bool keepingHeaders_ = false;
    std::vector<std::uint8_t> headers_;
};

// Adds the markers as chapters of `context`, each to the next one's start
// and the last to `totalFrames`, named in valid UTF-8.
MediaResult addChapters(AVFormatContext& context, const std::vector<Marker>& markers,
                        int sampleRate, std::int64_t totalFrames);

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/container_writer.h"
#include "media/markers.h"
#include "media/render_plan.h"

#include <memory>
#include <string>
#include <vector>

namespace kestrine {

// FFmpeg's muxer for MP3, Ogg Opus or MP4, writing into a file we opened,
// with the markers as chapters (ID3v2 CHAP/CTOC, Vorbis comments, MP4
// chapters). A failed write of the file is kept, so that a full disk is
// told as such rather than as FFmpeg's I/O error.
class FormatMuxer final : public ContainerWriter {
public:
    // `path` names the file for FFmpeg's checks of its extension; `fd` is written.
    static MediaResult create(int fd, const std::string& path, const OutputFormat& format,
                              const std::vector<Marker>& markers, std::int64_t totalFrames,
                              std::unique_ptr<FormatMuxer>& muxer);
    ~FormatMuxer() override;
    FormatMuxer(const FormatMuxer&) = delete;
    FormatMuxer& operator=(const FormatMuxer&) = delete;

    bool wantsGlobalHeader() const override;
    MediaResult writeHeader(const AVCodecContext& codec) override;
    MediaResult writePacket(AVPacket& packet) override;
    MediaResult writeTrailer(const AVCodecContext& codec, std::int64_t frames) override;

private:
    FormatMuxer(int fd, const OutputFormat& format, const std::vector<Marker>& markers);
    // What FFmpeg's muxer is told when it writes the header.
    AVDictionary* headerOptions() const;
    // The ID3v2 tag this file would start with for `markers` and `frames`.
    MediaResult id3TagWith(const std::vector<Marker>& markers, std::int64_t frames,
                           std::vector<std::uint8_t>& tag) const;
    MediaResult resultOf(int error) const;

#if LIBAVFORMAT_VERSION_MAJOR >= 61
    static int writeBytes(void* opaque, const std::uint8_t* data, int size);
#else
    static int writeBytes(void* opaque, std::uint8_t* data, int size);
#endif
    static std::int64_t seekTo(void* opaque, std::int64_t offset, int whence);

    // The chapters that go before the sound are left out of the partial
    // file: named in the header FFmpeg writes, they are taken out again at
    // once and only those of the sources reached go back at the end.
    MediaResult leaveOutEarlyChapters();

    int fd_;
    OutputFormat format_;
    OutputFormatPtr context_;
    AVStream* stream_ = nullptr;
    AVIOContext* io_ = nullptr;
    std::int64_t position_ = 0;
    MediaResult writeFailure_ = result::kOk;
    // The headers as FFmpeg wrote them, chapters and all, while it writes them.
    bool keepingHeaders_ = false;
    std::vector<std::uint8_t> headers_;
    // A finished file names the sources it reached, and its last chapter
    // ends with its sound.
    std::vector<Marker> markers_;
};

} // namespace kestrine

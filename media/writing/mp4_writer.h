// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/container_writer.h"
#include "media/writing/ffmpeg_muxer.h"

#include <memory>
#include <string>

namespace kestrine {

// An M4A file (AAC-LC in MP4) by FFmpeg's muxer, with an edit list that
// trims the encoder's priming and padding. The chapters go in with the index
// at the end, so a partial file has neither and no reader takes it for a
// finished one.
class Mp4Writer final : public ContainerWriter {
public:
    static MediaResult create(int fd, const std::string& path, int sampleRate,
                              std::vector<Marker> markers, std::unique_ptr<ContainerWriter>& writer);

    EncoderSetup encoderSetup() const override;
    bool wantsGlobalHeader() const override { return muxer_->wantsGlobalHeader(); }
    MediaResult writeHeader(const AVCodecContext* codec) override;
    MediaResult writePacket(AVPacket& packet) override;

private:
    Mp4Writer(std::unique_ptr<FfmpegMuxer> muxer, int sampleRate, std::vector<Marker> markers);
    MediaResult writeTrailer(const AVCodecContext* codec, std::int64_t frames,
                             const std::vector<Marker>& kept) override;

    std::unique_ptr<FfmpegMuxer> muxer_;
    int sampleRate_;
};

} // namespace kestrine

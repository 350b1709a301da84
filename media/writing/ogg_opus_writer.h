// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/container_writer.h"
#include "media/writing/ffmpeg_muxer.h"

#include <memory>
#include <string>

namespace kestrine {

// An Ogg Opus file by FFmpeg's muxer, at 48,000 Hz, with the markers as
// CHAPTERnnn comments in its OpusTags header, after the tags and the cover
// (METADATA_BLOCK_PICTURE). The header keeps its pages
// whatever the end rewrites in it: the partial file's names no chapter, the
// finished file's those of the sources reached.
class OggOpusWriter final : public ContainerWriter {
public:
    static MediaResult create(int fd, const std::string& path, int sampleRate,
                              std::vector<Marker> markers, std::unique_ptr<ContainerWriter>& writer,
                              OutputTags tags = {});

    EncoderSetup encoderSetup() const override;
    bool wantsGlobalHeader() const override { return muxer_->wantsGlobalHeader(); }
    MediaResult writeHeader(const AVCodecContext* codec) override;
    MediaResult writePacket(AVPacket& packet) override;

private:
    OggOpusWriter(std::unique_ptr<FfmpegMuxer> muxer, int sampleRate, std::vector<Marker> markers,
                  OutputTags tags);
    MediaResult writeTrailer(const AVCodecContext* codec, std::int64_t frames,
                             const std::vector<Marker>& kept) override;

    std::unique_ptr<FfmpegMuxer> muxer_;
    int sampleRate_;
};

} // namespace kestrine

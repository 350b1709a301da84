// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/container_writer.h"
#include "media/writing/ffmpeg_muxer.h"

#include <memory>
#include <string>

namespace kestrine {

// An MP3 file by FFmpeg's muxer: LAME VBR with the Xing/LAME header that
// gapless players need, and the markers as ID3v2 chapters (CHAP and CTOC)
// in the tag before the sound, with the tags as ID3v2.3 text frames and the
// cover as an APIC frame. That tag keeps its size whatever the end
// rewrites in it: the partial file's names no chapter, the finished file's
// those of the sources reached.
class Mp3Writer final : public ContainerWriter {
public:
    static MediaResult create(int fd, const std::string& path, int sampleRate,
                              std::vector<Marker> markers, std::int64_t totalFrames,
                              std::unique_ptr<ContainerWriter>& writer, OutputTags tags = {});

    EncoderSetup encoderSetup() const override;
    bool wantsGlobalHeader() const override { return muxer_->wantsGlobalHeader(); }
    MediaResult writeHeader(const AVCodecContext* codec) override;
    MediaResult writePacket(AVPacket& packet) override;

private:
    Mp3Writer(std::unique_ptr<FfmpegMuxer> muxer, int sampleRate, std::vector<Marker> markers,
              OutputTags tags);
    MediaResult writeTrailer(const AVCodecContext* codec, std::int64_t frames,
                             const std::vector<Marker>& kept) override;
    // The ID3v2 tag this file would start with for `markers` and `frames`.
    MediaResult id3TagWith(const std::vector<Marker>& markers, std::int64_t frames,
                           std::vector<std::uint8_t>& tag) const;

    std::unique_ptr<FfmpegMuxer> muxer_;
    int sampleRate_;
};

} // namespace kestrine

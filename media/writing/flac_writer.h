// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/container_writer.h"
#include "media/markers.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrine {

// A native FLAC file around FFmpeg's FLAC frames: STREAMINFO, the markers as
// a CUESHEET (one track per source at its sample, and the lead-out) and as
// CHAPTERnnn/CHAPTERnnnNAME comments after the tags, the cover as a PICTURE
// block, then the frames. FFmpeg's own FLAC
// muxer (5.1) writes no cue sheet, and no chapters at all. While the join runs, padding holds the room of
// the markers, so that a partial file names no source it may lack; the end
// writes the markers of what was written into that room.
class FlacWriter final : public ContainerWriter {
public:
    FlacWriter(int fd, int sampleRate, std::vector<Marker> markers, std::int64_t totalFrames,
               OutputTags tags = {});

    EncoderSetup encoderSetup() const override;
    MediaResult writeHeader(const AVCodecContext* codec) override;
    MediaResult writePacket(AVPacket& packet) override;

    // The most tracks a cue sheet holds besides its lead-out.
    static constexpr std::size_t kMostCueTracks = 254;

private:
    MediaResult writeTrailer(const AVCodecContext* codec, std::int64_t frames,
                             const std::vector<Marker>& kept) override;
    std::vector<std::uint8_t> metadata(const std::vector<std::uint8_t>& streamInfo,
                                       const std::vector<Marker>& kept, std::int64_t frames) const;

    int fd_;
    int sampleRate_;
    std::int64_t totalFrames_;
    // The encoder's final STREAMINFO, with the MD5 sum of the sound, once
    // its last packet has brought it.
    std::vector<std::uint8_t> finalStreamInfo_;
    std::uint64_t metadataBytes_ = 0;
    std::uint64_t position_ = 0;
};

} // namespace kestrine

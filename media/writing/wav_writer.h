// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/container_writer.h"
#include "media/render_plan.h"

namespace kestrine {

// A WAV file (RF64 past 4 GiB) of the render's frames as they are. Its
// header only ever claims frames that are complete and on the disk; until
// the first claim it is blank, since a WAV header that says "no data" reads,
// to FFmpeg and many players, as "data up to the end". The finished file
// carries the markers after its data, as a `cue ` chunk and a LIST/adtl chunk,
// and its tags as a LIST/INFO chunk and its cover in an `id3 ` chunk.
class WavWriter final : public ContainerWriter {
public:
    WavWriter(int fd, const OutputFormat& format, std::vector<Marker> markers, OutputTags tags = {});

    MediaResult writeHeader(const AVCodecContext* codec) override;
    MediaResult writeFrames(std::int64_t frame, const std::uint8_t* data,
                            std::int64_t frames) override;
    int descriptor() const override { return fd_; }
    std::uint64_t offsetOfFrame(std::int64_t frame) const override;
    MediaResult claim(std::int64_t frames) override;

private:
    MediaResult writeTrailer(const AVCodecContext* codec, std::int64_t frames,
                             const std::vector<Marker>& kept) override;
    MediaResult writeWavHeader(std::int64_t frames, std::uint64_t trailerBytes);

    int fd_;
    OutputFormat format_;
    std::uint64_t bytesPerFrame_;
};

} // namespace kestrine

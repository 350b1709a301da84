// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/container_writer.h"
#include "media/render_plan.h"

namespace kestrine {

// An AIFF file: big-endian 16- or 24-bit PCM in an SSND chunk after a COMM
// chunk, and, once finished, after the sound: the tags as NAME, AUTH and
// ANNO chunks and, for what those cannot say (album, genre, the cover), an
// `ID3 ` chunk, as FFmpeg's own AIFF muxer places it; then the markers as a
// MARK chunk. As with WAV, the header only ever claims frames that are
// complete and on the disk. AIFF's sizes are 32 bits: a join past about
// 4 GiB is refused.
class AiffWriter final : public ContainerWriter {
public:
    AiffWriter(int fd, const OutputFormat& format, std::vector<Marker> markers,
               std::int64_t totalFrames, OutputTags tags = {});

    MediaResult writeHeader(const AVCodecContext* codec) override;
    // The render's little-endian samples are turned around on the way.
    MediaResult writeFrames(std::int64_t frame, const std::uint8_t* data,
                            std::int64_t frames) override;
    std::uint64_t offsetOfFrame(std::int64_t frame) const override;
    MediaResult claim(std::int64_t frames) override;

private:
    MediaResult writeTrailer(const AVCodecContext* codec, std::int64_t frames,
                             const std::vector<Marker>& kept) override;
    MediaResult writeAiffHeader(std::int64_t frames, std::uint64_t trailerBytes);

    int fd_;
    OutputFormat format_;
    std::uint64_t bytesPerFrame_;
    std::int64_t totalFrames_;
    std::vector<std::uint8_t> tagChunks_; // made with the header, written at the end
};

} // namespace kestrine

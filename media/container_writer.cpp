// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/container_writer.h"

namespace kestrine {

MediaResult ContainerWriter::writePacket(AVPacket&)
{
    return result::kInvalidArgument; // a container of PCM takes no packets
}

MediaResult ContainerWriter::writeFrames(std::int64_t, const std::uint8_t*, std::int64_t)
{
    return result::kInvalidArgument; // a container of packets takes no frames
}

std::uint64_t ContainerWriter::offsetOfFrame(std::int64_t frame) const
{
    return static_cast<std::uint64_t>(frame);
}

MediaResult ContainerWriter::finish(const AVCodecContext* codec, std::int64_t frames)
{
    return writeTrailer(codec, frames, markersReached(markers_, frames));
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/encoding/flac_stretch_splicer.h"

#include "media/copying/flac_frames.h"

#include <algorithm>
#include <cstring>

namespace kestrine {
namespace {

constexpr std::size_t kStreamInfoBytes = 34;
constexpr std::size_t kSmallestFrameAt = 4; // 24 bits, then the largest frame's 24
constexpr std::size_t kSamplesAt = 13;      // 36 bits, from the low nibble of this byte
constexpr std::size_t kMd5At = 18;
// About six seconds at 44,100 Hz: FLAC's encoders cost nothing to go on
// with, and a short stretch keeps little sound waiting.
constexpr std::int64_t kLongestStretch = std::int64_t{1} << 18;

void putBigEndian(std::vector<std::uint8_t>& into, std::size_t at, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        into[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * (bytes - 1 - i)));
}

} // namespace

FlacStretchSplicer::FlacStretchSplicer(int bytesPerFrame) : bytesPerFrame_(bytesPerFrame), md5_(av_md5_alloc())
{
    if (md5_)
        av_md5_init(md5_.get());
}

FlacStretchSplicer::~FlacStretchSplicer() = default;

void FlacStretchSplicer::start(const AVCodecContext& codec)
{
    if (codec.extradata && codec.extradata_size >= static_cast<int>(kStreamInfoBytes))
        streamInfo_.assign(codec.extradata, codec.extradata + kStreamInfoBytes);
}

std::int64_t FlacStretchSplicer::longestStretch() const
{
    return kLongestStretch;
}

void FlacStretchSplicer::takeSound(const std::uint8_t* frames, std::int64_t count)
{
    // FLAC sums the samples little-endian in their own width, as the render has them.
    if (md5_)
        av_md5_update(md5_.get(), frames, static_cast<std::size_t>(count * bytesPerFrame_));
    soundFrames_ += count;
}

MediaResult FlacStretchSplicer::writeHeld(const AudioEncoder::PacketHandler& write)
{
    if (!held_)
        return result::kOk;
    const MediaResult written = write(*held_);
    held_.reset();
    return written;
}

MediaResult FlacStretchSplicer::splice(EncodedStretch& stretch, const AudioEncoder::PacketHandler& write)
{
    // An encoder that goes on from another stretch counts on from there:
    // each frame's place is its order in the stretch.
    std::int64_t firstSample = stretch.encodedFrom;
    for (PacketPtr& packet : stretch.packets) {
        if (packet->size <= 0)
            continue;
        FlacFrameHeader header;
        if (!readFlacFrame(packet->data, static_cast<std::size_t>(packet->size), header) || header.blockSize <= 0)
            return result::kUnexpected;
        // A fixed block size stream counts frames, a variable one samples;
        // the last frame of the join may be short.
        const std::uint64_t number = header.variableBlockSize
                                         ? static_cast<std::uint64_t>(firstSample)
                                         : static_cast<std::uint64_t>(firstSample / stretch.frameSize);
        if (!header.variableBlockSize && firstSample % stretch.frameSize != 0)
            return result::kUnexpected;
        const std::vector<std::uint8_t> frame =
            withFlacFrameNumber(packet->data, static_cast<std::size_t>(packet->size), header, number);
        if (frame.empty())
            return result::kUnexpected;
        if (const MediaResult written = writeHeld(write); failed(written))
            return written;
        PacketPtr placed(av_packet_alloc());
        if (!placed || av_new_packet(placed.get(), static_cast<int>(frame.size())) < 0)
            return result::kOutOfMemory;
        std::memcpy(placed->data, frame.data(), frame.size());
        placed->pts = placed->dts = firstSample;
        placed->duration = header.blockSize;
        firstSample += header.blockSize;
        const auto size = static_cast<std::int64_t>(frame.size());
        smallestFrame_ = smallestFrame_ == 0 ? size : std::min(smallestFrame_, size);
        largestFrame_ = std::max(largestFrame_, size);
        held_ = std::move(placed);
    }
    stretch.packets.clear();
    return result::kOk;
}

MediaResult FlacStretchSplicer::finish(const AudioEncoder::PacketHandler& write)
{
    if (!held_)
        return result::kOk;
    if (streamInfo_.size() != kStreamInfoBytes)
        return result::kUnexpected;
    std::vector<std::uint8_t> info = streamInfo_;
    putBigEndian(info, kSmallestFrameAt, static_cast<std::uint64_t>(smallestFrame_), 3);
    putBigEndian(info, kSmallestFrameAt + 3, static_cast<std::uint64_t>(largestFrame_), 3);
    const auto samples = static_cast<std::uint64_t>(soundFrames_);
    info[kSamplesAt] = static_cast<std::uint8_t>((info[kSamplesAt] & 0xf0) | ((samples >> 32) & 0x0f));
    putBigEndian(info, kSamplesAt + 1, samples & 0xffffffff, 4);
    if (md5_)
        av_md5_final(md5_.get(), info.data() + kMd5At);
    else
        std::fill_n(info.begin() + kMd5At, 16, 0);
    std::uint8_t* side = av_packet_new_side_data(held_.get(), AV_PKT_DATA_NEW_EXTRADATA, info.size());
    if (!side)
        return result::kOutOfMemory;
    std::memcpy(side, info.data(), info.size());
    return writeHeld(write);
}

} // namespace kestrine

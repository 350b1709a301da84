// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/encoding/mp3_stretch_splicer.h"

#include <cstring>

namespace kestrine {
namespace {

// LAME's delay and the transform's overlap take two frames; the rest lets
// its psychoacoustic model and its reservoir settle.
constexpr int kLeadInFrames = 4;
// LAME looks a frame and a half ahead, and treats frames near the end of
// its input as an ending.
constexpr int kLeadOutFrames = 2;
// About 12 s at 44,100 Hz: long beside a lead-in and beside what opening
// LAME costs (some milliseconds, a few hundredths of encoding the stretch),
// short enough that a stopped join's last stretches are encoded within a
// fraction of a second.
constexpr std::int64_t kLongestStretch = std::int64_t{1} << 19;

} // namespace

Mp3StretchSplicer::Mp3StretchSplicer()
    : packer_([this](const std::uint8_t* bytes, int size) { return writeFrame(bytes, size); })
{
}

std::int64_t Mp3StretchSplicer::longestStretch() const
{
    return kLongestStretch;
}

std::int64_t Mp3StretchSplicer::leadIn(int frameSize) const
{
    return std::int64_t{kLeadInFrames} * frameSize;
}

std::int64_t Mp3StretchSplicer::leadOut(int frameSize) const
{
    return std::int64_t{kLeadOutFrames} * frameSize;
}

MediaResult Mp3StretchSplicer::writeFrame(const std::uint8_t* bytes, int size)
{
    if (waiting_.empty() || !write_)
        return result::kUnexpected;
    PacketPtr packet = std::move(waiting_.front());
    waiting_.pop_front();
    if (packet->size != size || std::memcmp(packet->data, bytes, static_cast<std::size_t>(size)) != 0) {
        PacketPtr laid(av_packet_alloc());
        if (!laid || av_new_packet(laid.get(), size) < 0 || av_packet_copy_props(laid.get(), packet.get()) < 0)
            return result::kOutOfMemory;
        std::memcpy(laid->data, bytes, static_cast<std::size_t>(size));
        packet = std::move(laid);
    }
    return (*write_)(*packet);
}

MediaResult Mp3StretchSplicer::splice(EncodedStretch& stretch, const AudioEncoder::PacketHandler& write)
{
    write_ = &write;
    const std::int64_t leadInFrames = stretch.first - stretch.encodedFrom;
    Mp3MainDataReader reader;
    std::int64_t firstKept = -1;
    std::int64_t endKept = -1;
    const auto count = static_cast<std::int64_t>(stretch.packets.size());
    for (std::int64_t i = 0; i < count; ++i) {
        PacketPtr& packet = stretch.packets[static_cast<std::size_t>(i)];
        Mp3StreamFrame frame;
        if (!reader.read(packet->data, packet->size, frame))
            return result::kUnexpected;
        const int frameSize = frame.header.samplesPerFrame;
        if (firstKept < 0) {
            firstKept = leadInFrames / frameSize;
            endKept = stretch.last ? count : firstKept + (stretch.end - stretch.first) / frameSize;
            if (leadInFrames % frameSize != 0 || (!stretch.last && (stretch.end - stretch.first) % frameSize != 0) ||
                endKept > count)
                return result::kUnexpected;
        }
        if (i < firstKept || i >= endKept)
            continue;
        // The join's delay comes with its first frame, its padding with its
        // last; frames between carry neither.
        const bool opensJoin = stretch.first == 0 && i == firstKept;
        const bool endsJoin = stretch.last && i + 1 == endKept;
        if (!opensJoin && !endsJoin)
            av_packet_free_side_data(packet.get());
        if (packet->pts != AV_NOPTS_VALUE)
            packet->pts += stretch.encodedFrom;
        if (packet->dts != AV_NOPTS_VALUE)
            packet->dts += stretch.encodedFrom;
        waiting_.push_back(std::move(packet));
        if (const MediaResult added = packer_.add(std::move(frame)); failed(added) || added == result::kFalse)
            return added == result::kFalse ? result::kUnexpected : added;
    }
    stretch.packets.clear();
    return result::kOk;
}

MediaResult Mp3StretchSplicer::finish(const AudioEncoder::PacketHandler& write)
{
    write_ = &write;
    if (const MediaResult flushed = packer_.flush(); failed(flushed))
        return flushed;
    return waiting_.empty() ? result::kOk : result::kUnexpected;
}

} // namespace kestrine

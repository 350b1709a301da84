// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/mp3_reservoir_packer.h"

#include <algorithm>
#include <cstring>

namespace kestrine {
namespace {

constexpr int kHighestBitRateIndex = 14;

int mostBegin(const Mp3FrameHeader& header)
{
    // main_data_begin has nine bits in MPEG-1, eight in MPEG-2 and 2.5.
    return header.version == Mp3FrameHeader::Version::Mpeg1 ? 511 : 255;
}

int slotOffset(const Mp3FrameHeader& header)
{
    return header.sideInfoOffset() + header.sideInfoBytes;
}

} // namespace

Mp3MainDataReader::Mp3MainDataReader(std::vector<std::uint8_t> reservoir) : slots_(std::move(reservoir)) {}

bool Mp3MainDataReader::read(const std::uint8_t* bytes, int size, Mp3StreamFrame& frame)
{
    Mp3FrameHeader header;
    if (size < 4 || !parseMp3FrameHeader(bytes, header) || header.frameBytes != size)
        return false;
    const Mp3MainData mainData = mp3MainDataOf(header, bytes);
    const std::uint8_t* slot = bytes + slotOffset(header);
    const auto held = static_cast<std::int64_t>(slots_.size());
    const std::int64_t start = held - mainData.begin;
    if (start < 0 || start + mainData.bytes > held + header.slotBytes())
        return false;
    frame.bytes.assign(bytes, bytes + size);
    frame.header = header;
    frame.begin = mainData.begin;
    frame.mainData.clear();
    frame.mainData.reserve(static_cast<std::size_t>(mainData.bytes));
    const std::int64_t fromHeld = std::min<std::int64_t>(mainData.bytes, held - start);
    frame.mainData.insert(frame.mainData.end(), slots_.begin() + start, slots_.begin() + start + fromHeld);
    frame.mainData.insert(frame.mainData.end(), slot, slot + (mainData.bytes - fromHeld));
    slots_.insert(slots_.end(), slot, slot + header.slotBytes());
    const std::size_t keep = static_cast<std::size_t>(mostBegin(header));
    if (slots_.size() > keep)
        slots_.erase(slots_.begin(), slots_.end() - static_cast<std::ptrdiff_t>(keep));
    return true;
}

Mp3ReservoirPacker::Mp3ReservoirPacker(FrameHandler handler) : handler_(std::move(handler)) {}

std::size_t Mp3ReservoirPacker::layOut()
{
    std::int64_t slot = slotEnd_;
    std::int64_t dataEnd = dataEnd_;
    for (std::size_t i = 0; i < held_.size(); ++i) {
        Placed& placed = held_[i];
        const auto bytes = static_cast<std::int64_t>(placed.frame.mainData.size());
        // Where its own stream had it, unless the frames before still use
        // that room: then the frame before, where it stands as its own
        // stream had it, takes a higher bit rate for it, so that this frame
        // and those after it stay as they were.
        const std::int64_t wanted = slot - placed.frame.begin;
        if (wanted < dataEnd && i > 0 && held_[i - 1].inPlace &&
            held_[i - 1].header.bitRateIndex < kHighestBitRateIndex) {
            lacksRoomBefore_ = true;
            return i;
        }
        const std::int64_t start = std::max(wanted, dataEnd);
        if (start + bytes > slot + placed.header.slotBytes()) {
            lacksRoomBefore_ = false;
            return i;
        }
        placed.slotStart = slot;
        placed.dataStart = start;
        placed.inPlace = start == wanted;
        dataEnd = start + bytes;
        slot += placed.header.slotBytes();
    }
    return held_.size();
}

bool Mp3ReservoirPacker::raise(Placed& placed)
{
    Mp3FrameHeader higher;
    if (placed.header.bitRateIndex >= kHighestBitRateIndex ||
        !withMp3BitRateIndex(placed.header, placed.header.bitRateIndex + 1, higher))
        return false;
    placed.header = higher;
    placed.raised = true;
    return true;
}

MediaResult Mp3ReservoirPacker::add(Mp3StreamFrame frame)
{
    Placed placed;
    placed.header = frame.header;
    placed.frame = std::move(frame);
    held_.push_back(std::move(placed));
    for (std::size_t lacking = layOut(); lacking < held_.size(); lacking = layOut()) {
        // The frame before makes room for what this one's main data needs
        // before its slot; this one, for what it needs in its own.
        if (lacksRoomBefore_) {
            raise(held_[lacking - 1]);
            continue;
        }
        if (!(lacking > 0 && raise(held_[lacking - 1])) && !raise(held_[lacking]))
            return result::kFalse;
    }
    return emitSettled();
}

MediaResult Mp3ReservoirPacker::emitSettled()
{
    const Placed& newest = held_.back();
    const std::int64_t dataEnd = newest.dataStart + static_cast<std::int64_t>(newest.frame.mainData.size());
    // Later frames' main data starts where the newest one's ends, or later;
    // the newest may still take a higher bit rate for the next one.
    while (held_.size() > 1 && held_.front().slotStart + held_.front().header.slotBytes() <= dataEnd) {
        if (const MediaResult emitted = emit(held_.front()); failed(emitted))
            return emitted;
        held_.pop_front();
    }
    return result::kOk;
}

MediaResult Mp3ReservoirPacker::flush()
{
    while (!held_.empty()) {
        if (const MediaResult emitted = emit(held_.front()); failed(emitted))
            return emitted;
        held_.pop_front();
    }
    return result::kOk;
}

MediaResult Mp3ReservoirPacker::emit(Placed& placed)
{
    const Mp3FrameHeader& header = placed.header;
    const std::vector<std::uint8_t>& original = placed.frame.bytes;
    std::vector<std::uint8_t> out;
    if (placed.raised) {
        out.assign(static_cast<std::size_t>(header.frameBytes), 0);
        writeMp3FrameHeader(header, original.data(), out.data());
        std::memcpy(out.data() + header.sideInfoOffset(), original.data() + placed.frame.header.sideInfoOffset(),
                    static_cast<std::size_t>(header.sideInfoBytes));
        ++raised_;
    } else {
        out = original;
    }
    setMp3MainDataBegin(header, out.data(), static_cast<int>(placed.slotStart - placed.dataStart));
    updateMp3FrameCrc(header, out.data());
    // Its slot holds the end of its own main data and the start of the
    // frames' after it that begin there.
    const std::int64_t slotStart = placed.slotStart;
    const std::int64_t slotEnd = slotStart + header.slotBytes();
    std::uint8_t* slot = out.data() + slotOffset(header);
    for (const Placed& other : held_) {
        const std::int64_t dataStart = other.dataStart;
        const std::int64_t dataEnd = dataStart + static_cast<std::int64_t>(other.frame.mainData.size());
        if (dataStart >= slotEnd)
            break;
        const std::int64_t from = std::max(dataStart, slotStart);
        const std::int64_t to = std::min(dataEnd, slotEnd);
        if (from < to)
            std::memcpy(slot + (from - slotStart), other.frame.mainData.data() + (from - dataStart),
                        static_cast<std::size_t>(to - from));
    }
    slotEnd_ = slotEnd;
    dataEnd_ = placed.dataStart + static_cast<std::int64_t>(placed.frame.mainData.size());
    return handler_(out.data(), static_cast<int>(out.size()));
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/flac_frame_scanner.h"

#include "media/ffmpeg.h"

#include <algorithm>
#include <cstring>

namespace kestrine {
namespace {

// Read at once: large enough that reading costs few calls, small enough to
// stay in the cache while the checksum runs over it.
constexpr int kReadBytes = 1 << 20;
// The longest frame header: four fixed bytes, a seven-byte number, two bytes
// each of block size and rate, the CRC-8.
constexpr std::size_t kLongestHeader = 16;
constexpr std::size_t kId3v2HeaderBytes = 10;
constexpr std::uint8_t kId3v2FooterFlag = 0x10;
constexpr std::size_t kId3v1Bytes = 128;
constexpr std::size_t kMetadataBlockHeaderBytes = 4;
constexpr std::uint8_t kLastMetadataBlock = 0x80;
constexpr std::uint8_t kSyncFirst = 0xff;
constexpr std::uint8_t kSyncSecond = 0xf8;

int channelsOf(std::uint8_t assignment)
{
    return assignment < 8 ? assignment + 1 : 2; // 8 to 10 are the stereo decorrelations
}

std::uint16_t storedCrc16(const std::uint8_t* frameEnd)
{
    return static_cast<std::uint16_t>(frameEnd[-2] << 8 | frameEnd[-1]);
}

} // namespace

FlacFrameScanner::FlacFrameScanner(ByteReader read, std::vector<std::uint8_t>& buffer)
    : read_(std::move(read)), buffer_(buffer)
{
}

bool FlacFrameScanner::fill()
{
    if (atEnd_)
        return false;
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    // Grows only for a frame longer than what one read brings.
    if (buffer_.size() < end_ + kReadBytes)
        buffer_.resize(end_ + kReadBytes);
    const int got = read_(buffer_.data() + end_, kReadBytes);
    if (got <= 0) {
        atEnd_ = true;
        if (got < 0)
            failure_ = got;
        return false;
    }
    end_ += static_cast<std::size_t>(got);
    return true;
}

MediaResult FlacFrameScanner::skipPreamble()
{
    const auto have = [&](std::size_t bytes) {
        while (end_ - begin_ < bytes && fill()) {
        }
        return end_ - begin_ >= bytes;
    };
    const auto skip = [&](std::uint64_t bytes) {
        while (bytes > end_ - begin_) {
            bytes -= end_ - begin_;
            begin_ = end_;
            if (!fill())
                return false;
        }
        begin_ += static_cast<std::size_t>(bytes);
        return true;
    };
    // FFmpeg reads FLAC files that an ID3v2 tag precedes; so does the copy.
    if (have(kId3v2HeaderBytes) && std::memcmp(buffer_.data() + begin_, "ID3", 3) == 0) {
        const std::uint8_t* tag = buffer_.data() + begin_;
        std::uint64_t size = 0;
        for (int i = 6; i < 10; ++i)
            size = size << 7 | (tag[i] & 0x7f);
        size += kId3v2HeaderBytes + ((tag[5] & kId3v2FooterFlag) ? kId3v2HeaderBytes : 0);
        if (!skip(size))
            return failed(failure_) ? failure_ : AVERROR_INVALIDDATA;
    }
    if (!have(4) || std::memcmp(buffer_.data() + begin_, "fLaC", 4) != 0)
        return failed(failure_) ? failure_ : AVERROR_INVALIDDATA;
    begin_ += 4;
    for (;;) {
        if (!have(kMetadataBlockHeaderBytes))
            return failed(failure_) ? failure_ : AVERROR_INVALIDDATA;
        const std::uint8_t* block = buffer_.data() + begin_;
        const bool last = (block[0] & kLastMetadataBlock) != 0;
        const std::uint64_t length = std::uint64_t{block[1]} << 16 | std::uint64_t{block[2]} << 8 | block[3];
        if (!skip(kMetadataBlockHeaderBytes + length))
            return failed(failure_) ? failure_ : AVERROR_INVALIDDATA;
        if (last)
            return result::kOk;
    }
}

bool FlacFrameScanner::consistentNext(std::size_t at, const FlacFrameHeader& current) const
{
    const std::uint8_t* next = buffer_.data() + at;
    FlacFrameHeader header;
    if (!readFlacFrameHeader(next, std::min(end_ - at, kLongestHeader), header))
        return false;
    if ((next[1] & 0x01) != blocking_ || (next[2] & 0x0f) != rateCode_ || ((next[3] >> 1) & 0x07) != sampleSizeCode_ ||
        channelsOf(next[3] >> 4) != channels_)
        return false;
    const std::uint64_t step = current.variableBlockSize ? static_cast<std::uint64_t>(current.blockSize) : 1;
    return header.number == current.number + step;
}

MediaResult FlacFrameScanner::next(ScannedFlacFrame& frame)
{
    if (!started_) {
        started_ = true;
        if (const MediaResult skipped = skipPreamble(); failed(skipped))
            return skipped;
    }
    while (end_ - begin_ < kLongestHeader && fill()) {
    }
    if (failed(failure_))
        return failure_;
    const std::size_t left = end_ - begin_;
    if (left == 0)
        return result::kFalse;
    if (left == kId3v1Bytes && std::memcmp(buffer_.data() + begin_, "TAG", 3) == 0) {
        begin_ = end_;
        return result::kFalse;
    }
    FlacFrameHeader header;
    if (!readFlacFrameHeader(buffer_.data() + begin_, std::min(left, kLongestHeader), header))
        return AVERROR_INVALIDDATA;
    const std::uint8_t* first = buffer_.data() + begin_;
    if (channels_ == 0) {
        blocking_ = first[1] & 0x01;
        rateCode_ = first[2] & 0x0f;
        sampleSizeCode_ = (first[3] >> 1) & 0x07;
        channels_ = channelsOf(first[3] >> 4);
    }

    // Offsets from the frame's first byte, which stay true when fill() moves it.
    std::uint16_t crc = 0;
    std::size_t crcAt = 0;
    std::size_t search = header.headerBytes;
    const auto found = [&](std::size_t frameBytes) {
        frame.data = buffer_.data() + begin_;
        frame.size = frameBytes;
        frame.header = header;
        begin_ += frameBytes;
        return result::kOk;
    };
    for (;;) {
        const std::uint8_t* base = buffer_.data() + begin_;
        std::size_t available = end_ - begin_;
        std::size_t candidate = 0;
        while (search + 1 < available) {
            const auto* sync =
                static_cast<const std::uint8_t*>(std::memchr(base + search, kSyncFirst, available - 1 - search));
            if (!sync) {
                search = available - 1;
                break;
            }
            const auto at = static_cast<std::size_t>(sync - base);
            if (sync[1] == (kSyncSecond | blocking_)) {
                candidate = at;
                break;
            }
            search = at + 1;
        }
        if (candidate > 0) {
            if (available - candidate < kLongestHeader && !atEnd_) {
                search = candidate;
                if (!fill() && failed(failure_))
                    return failure_;
                continue;
            }
            if (candidate >= crcAt + 2 && consistentNext(begin_ + candidate, header)) {
                crc = flacCrc16Update(crc, base + crcAt, candidate - 2 - crcAt);
                crcAt = candidate - 2;
                if (crc == storedCrc16(base + candidate))
                    return found(candidate);
            }
            search = candidate + 1;
            continue;
        }
        if (fill())
            continue;
        if (failed(failure_))
            return failure_;
        // fill() may have moved the frame even when nothing more came.
        base = buffer_.data() + begin_;
        available = end_ - begin_;
        // The last frame runs to the end of the file, or to an ID3v1 tag.
        for (const std::size_t tail : {std::size_t{0}, kId3v1Bytes}) {
            if (available < tail + crcAt + 2 || available - tail < header.headerBytes + 2)
                continue;
            const std::size_t frameBytes = available - tail;
            if (tail > 0 && std::memcmp(base + frameBytes, "TAG", 3) != 0)
                continue;
            if (flacCrc16Update(crc, base + crcAt, frameBytes - 2 - crcAt) == storedCrc16(base + frameBytes))
                return found(frameBytes);
        }
        return AVERROR_INVALIDDATA;
    }
}

} // namespace kestrine

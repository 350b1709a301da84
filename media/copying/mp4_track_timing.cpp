// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/mp4_track_timing.h"

#include "media/ffmpeg.h"
#include "media/source_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>

namespace kestrine {
namespace {

// A moov box larger than this is not one a join copies from: its sample
// tables would describe days of sound.
constexpr std::uint64_t kLargestMoov = 256u << 20;

// A file that ends before its boxes do is not one a join copies from.
MediaResult readAt(int fd, std::uint8_t* into, std::size_t size, std::uint64_t offset)
{
    const MediaResult read = readSourceAt(fd, into, size, offset);
    return read == result::kSourceShrank ? result::kFalse : read;
}

std::uint64_t bigEndian(const std::uint8_t* at, int bytes)
{
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = value << 8 | at[i];
    return value;
}

// The boxes inside one box's body, walked in place.
class BoxWalk {
public:
    BoxWalk(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    // The next child box: its type and body; false past the last or at a
    // size that does not fit.
    bool next(std::string_view& type, const std::uint8_t*& body, std::size_t& bodySize)
    {
        if (at_ + 8 > size_)
            return false;
        std::uint64_t size = bigEndian(data_ + at_, 4);
        std::size_t header = 8;
        if (size == 1) {
            if (at_ + 16 > size_)
                return false;
            size = bigEndian(data_ + at_ + 8, 8);
            header = 16;
        } else if (size == 0) {
            size = size_ - at_;
        }
        if (size < header || size > size_ - at_)
            return false;
        type = std::string_view(reinterpret_cast<const char*>(data_ + at_ + 4), 4);
        body = data_ + at_ + header;
        bodySize = static_cast<std::size_t>(size) - header;
        at_ += static_cast<std::size_t>(size);
        return true;
    }

    // The body of the first child of `wanted` type.
    bool find(std::string_view wanted, const std::uint8_t*& body, std::size_t& bodySize)
    {
        std::string_view type;
        while (next(type, body, bodySize))
            if (type == wanted)
                return true;
        return false;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// The time scale of an mvhd or mdhd box: after version, flags and two dates.
bool timeScaleOf(const std::uint8_t* body, std::size_t size, std::uint32_t& timeScale)
{
    if (size < 4)
        return false;
    const std::size_t at = body[0] == 1 ? 4 + 16 : 4 + 8;
    if (size < at + 4)
        return false;
    timeScale = static_cast<std::uint32_t>(bigEndian(body + at, 4));
    return timeScale > 0;
}

bool trackIdOf(const std::uint8_t* body, std::size_t size, std::uint32_t& id)
{
    if (size < 4)
        return false;
    const std::size_t at = body[0] == 1 ? 4 + 16 : 4 + 8;
    if (size < at + 4)
        return false;
    id = static_cast<std::uint32_t>(bigEndian(body + at, 4));
    return true;
}

bool editsOf(const std::uint8_t* body, std::size_t size, std::vector<Mp4Edit>& edits)
{
    if (size < 8)
        return false;
    const bool wide = body[0] == 1;
    const std::uint64_t count = bigEndian(body + 4, 4);
    const std::size_t entryBytes = wide ? 20 : 12;
    if (count > (size - 8) / entryBytes)
        return false;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = body + 8 + i * entryBytes;
        Mp4Edit edit;
        if (wide) {
            edit.duration = bigEndian(entry, 8);
            edit.mediaTime = static_cast<std::int64_t>(bigEndian(entry + 8, 8));
            edit.rate = static_cast<std::int32_t>(bigEndian(entry + 16, 4));
        } else {
            edit.duration = bigEndian(entry, 4);
            edit.mediaTime = static_cast<std::int32_t>(bigEndian(entry + 4, 4));
            edit.rate = static_cast<std::int32_t>(bigEndian(entry + 8, 4));
        }
        edits.push_back(edit);
    }
    return true;
}

bool readTrack(const std::uint8_t* trak, std::size_t size, std::uint32_t trackId, Mp4TrackTiming& timing)
{
    const std::uint8_t* body = nullptr;
    std::size_t bodySize = 0;
    std::uint32_t id = 0;
    if (!BoxWalk(trak, size).find("tkhd", body, bodySize) || !trackIdOf(body, bodySize, id) || id != trackId)
        return false;
    const std::uint8_t* mdia = nullptr;
    std::size_t mdiaSize = 0;
    if (!BoxWalk(trak, size).find("mdia", mdia, mdiaSize) || !BoxWalk(mdia, mdiaSize).find("mdhd", body, bodySize) ||
        !timeScaleOf(body, bodySize, timing.mediaTimeScale))
        return false;
    const std::uint8_t* edts = nullptr;
    std::size_t edtsSize = 0;
    if (BoxWalk(trak, size).find("edts", edts, edtsSize) && BoxWalk(edts, edtsSize).find("elst", body, bodySize)) {
        timing.hasEditList = true;
        if (!editsOf(body, bodySize, timing.edits))
            return false;
    }
    return true;
}

} // namespace

MediaResult readMp4TrackTiming(const std::string& path, std::uint32_t trackId, Mp4TrackTiming& timing)
{
    timing = {};
    int fd = -1;
    if (const MediaResult opened = openSourceFile(path, fd); failed(opened))
        return opened;
    const std::int64_t fileSize = sourceFileSize(path);
    std::vector<std::uint8_t> moov;
    MediaResult outcome = result::kFalse;
    // The top-level boxes, by their headers alone: the mdat is never read.
    for (std::uint64_t at = 0; fileSize > 0 && at + 8 <= static_cast<std::uint64_t>(fileSize);) {
        std::uint8_t header[16];
        if (outcome = readAt(fd, header, 8, at); outcome != result::kOk)
            break;
        std::uint64_t size = bigEndian(header, 4);
        std::uint64_t headerBytes = 8;
        if (size == 1) {
            if (outcome = readAt(fd, header + 8, 8, at + 8); outcome != result::kOk)
                break;
            size = bigEndian(header + 8, 8);
            headerBytes = 16;
        } else if (size == 0) {
            size = static_cast<std::uint64_t>(fileSize) - at;
        }
        outcome = result::kFalse;
        if (size < headerBytes || size > static_cast<std::uint64_t>(fileSize) - at)
            break;
        if (std::memcmp(header + 4, "moov", 4) == 0) {
            if (size - headerBytes > kLargestMoov)
                break;
            moov.resize(static_cast<std::size_t>(size - headerBytes));
            outcome = readAt(fd, moov.data(), moov.size(), at + headerBytes);
            break;
        }
        at += size;
    }
    ::close(fd);
    if (outcome != result::kOk)
        return outcome;

    const std::uint8_t* body = nullptr;
    std::size_t bodySize = 0;
    if (!BoxWalk(moov.data(), moov.size()).find("mvhd", body, bodySize) ||
        !timeScaleOf(body, bodySize, timing.movieTimeScale))
        return result::kFalse;
    BoxWalk tracks(moov.data(), moov.size());
    std::string_view type;
    while (tracks.next(type, body, bodySize)) {
        if (type != "trak")
            continue;
        Mp4TrackTiming track = timing;
        if (readTrack(body, bodySize, trackId, track)) {
            timing = std::move(track);
            return result::kOk;
        }
    }
    return result::kFalse;
}

} // namespace kestrine

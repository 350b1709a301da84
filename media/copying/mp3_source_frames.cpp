// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/mp3_source_frames.h"

#include "media/ffmpeg.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kestrine {
namespace {

constexpr std::uint32_t kXingFrames = 1;
constexpr std::uint32_t kXingBytes = 2;
constexpr std::uint32_t kXingToc = 4;
constexpr std::uint32_t kXingQuality = 8;
constexpr int kXingTocBytes = 100;
constexpr int kLameTagBytes = 36;
constexpr std::size_t kId3v1Bytes = 128;
constexpr std::size_t kApeFooterBytes = 32;

std::uint32_t bigEndian32(const std::uint8_t* bytes)
{
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
           bytes[3];
}

std::uint32_t littleEndian32(const std::uint8_t* bytes)
{
    return (std::uint32_t{bytes[3]} << 24) | (std::uint32_t{bytes[2]} << 16) | (std::uint32_t{bytes[1]} << 8) |
           bytes[0];
}

// Past the ID3v2 tags that open the file.
std::size_t skipId3v2(const std::uint8_t* bytes, std::size_t size)
{
    std::size_t at = 0;
    while (size - at >= 10 && std::memcmp(bytes + at, "ID3", 3) == 0) {
        const std::uint8_t* length = bytes + at + 6;
        if ((length[0] | length[1] | length[2] | length[3]) & 0x80)
            break;
        const std::size_t body = (std::size_t{length[0]} << 21) | (std::size_t{length[1]} << 14) |
                                 (std::size_t{length[2]} << 7) | length[3];
        const std::size_t footer = (bytes[at + 5] & 0x10) ? 10 : 0;
        if (body + footer + 10 > size - at)
            return size;
        at += 10 + body + footer;
    }
    return at;
}

// Where the frames end: before an ID3v1 tag and an APE tag.
std::size_t endOfFrames(const std::uint8_t* bytes, std::size_t start, std::size_t size)
{
    std::size_t end = size;
    if (end - start >= kId3v1Bytes && std::memcmp(bytes + end - kId3v1Bytes, "TAG", 3) == 0)
        end -= kId3v1Bytes;
    if (end - start >= kApeFooterBytes && std::memcmp(bytes + end - kApeFooterBytes, "APETAGEX", 8) == 0) {
        const std::uint8_t* footer = bytes + end - kApeFooterBytes;
        std::size_t tag = littleEndian32(footer + 12);
        if (littleEndian32(footer + 20) & 0x80000000u)
            tag += kApeFooterBytes; // its header
        if (tag <= end - start)
            end -= tag;
    }
    return end;
}

bool sameStream(const Mp3FrameHeader& a, const Mp3FrameHeader& b)
{
    return a.version == b.version && a.sampleRate == b.sampleRate && a.channels == b.channels;
}

// Reads the Xing/Info frame and its LAME tag. False when the frame is no such
// tag; `gapless` when the tag gives a delay and padding that FFmpeg's reader
// honours as well.
bool readInfoFrame(const std::uint8_t* frame, const Mp3FrameHeader& header, Mp3SourceFrames& source,
                   std::uint32_t& frameCount, bool& gapless)
{
    // Where every reader looks: after the side information, whatever the checksum.
    const std::uint8_t* at = frame + 4 + header.sideInfoBytes;
    const std::uint8_t* end = frame + header.frameBytes;
    if (end - at < 8 || (std::memcmp(at, "Xing", 4) != 0 && std::memcmp(at, "Info", 4) != 0))
        return false;
    const std::uint32_t flags = bigEndian32(at + 4);
    at += 8;
    const int fields = ((flags & kXingFrames) ? 4 : 0) + ((flags & kXingBytes) ? 4 : 0) +
                       ((flags & kXingToc) ? kXingTocBytes : 0) + ((flags & kXingQuality) ? 4 : 0);
    gapless = false;
    if (end - at < fields || !(flags & kXingFrames))
        return true;
    frameCount = bigEndian32(at);
    at += fields;
    if (end - at < kLameTagBytes)
        return true;
    std::memcpy(source.encoder, at, 9);
    source.encoder[9] = '\0';
    const bool named = std::memcmp(at, "LAME", 4) == 0 || std::memcmp(at, "Lavf", 4) == 0 ||
                       std::memcmp(at, "Lavc", 4) == 0;
    if (!named)
        return true;
    const std::uint8_t* delays = at + 21;
    source.encoderDelay = (delays[0] << 4) | (delays[1] >> 4);
    source.padding = ((delays[1] & 0x0f) << 8) | delays[2];
    gapless = true;
    return true;
}

} // namespace

void scanMp3Frames(const std::uint8_t* bytes, std::size_t size, Mp3SourceFrames& source)
{
    source = Mp3SourceFrames{};
    std::size_t at = skipId3v2(bytes, size);
    const std::size_t end = endOfFrames(bytes, at, size);
    Mp3FrameHeader first;
    if (end - at < 4 || !parseMp3FrameHeader(bytes + at, first)) {
        // A free-format frame has the sync and layer but bit rate index 0.
        const bool freeFormat = end - at >= 4 && bytes[at] == 0xff && (bytes[at + 1] & 0xe6) == 0xe2 &&
                                (bytes[at + 2] >> 4) == 0;
        source.obstacle = freeFormat ? Mp3CopyObstacle::FreeFormat : Mp3CopyObstacle::NotLayer3;
        return;
    }
    source.sampleRate = first.sampleRate;
    source.channels = first.channels;
    source.samplesPerFrame = first.samplesPerFrame;
    auto damaged = [&source](std::size_t where) {
        source.obstacle = Mp3CopyObstacle::Damaged;
        source.obstacleOffset = where;
    };
    if (first.frameBytes > static_cast<int>(end - at))
        return damaged(at);

    std::uint32_t taggedFrames = 0;
    bool gapless = false;
    const bool tagged = readInfoFrame(bytes + at, first, source, taggedFrames, gapless);
    if (tagged)
        at += static_cast<std::size_t>(first.frameBytes);

    // Main data as one stream of the frames' slots: where the next frame's
    // slot starts, and where the last frame's main data ended.
    std::int64_t slotsBefore = 0;
    std::int64_t mainDataEnd = 0;
    while (at < end) {
        Mp3Frame frame;
        frame.offset = at;
        if (end - at < 4 || !parseMp3FrameHeader(bytes + at, frame.header)) {
            const bool freeFormat = end - at >= 4 && bytes[at] == 0xff && (bytes[at + 2] >> 4) == 0;
            if (freeFormat) {
                source.obstacle = Mp3CopyObstacle::FreeFormat;
                return;
            }
            return damaged(at);
        }
        if (!sameStream(frame.header, first)) {
            source.obstacle = Mp3CopyObstacle::Mixed;
            source.obstacleOffset = at;
            return;
        }
        if (frame.header.frameBytes > static_cast<int>(end - at))
            return damaged(at);
        if (frame.header.protectedByCrc &&
            mp3FrameCrc(frame.header, bytes + at) != ((bytes[at + 4] << 8) | bytes[at + 5]))
            return damaged(at);
        frame.mainData = mp3MainDataOf(frame.header, bytes + at);
        const std::int64_t mainDataStart = slotsBefore - frame.mainData.begin;
        const std::int64_t slotEnd = slotsBefore + frame.header.slotBytes();
        if (mainDataStart < mainDataEnd || mainDataStart + frame.mainData.bytes > slotEnd)
            return damaged(at);
        mainDataEnd = mainDataStart + frame.mainData.bytes;
        slotsBefore = slotEnd;
        source.frames.push_back(frame);
        at += static_cast<std::size_t>(frame.header.frameBytes);
    }
    if (!tagged || !gapless) {
        source.obstacle = Mp3CopyObstacle::NoGaplessTag;
        return;
    }
    if (taggedFrames != source.frames.size() || source.samples() < 0)
        return damaged(end);
    source.obstacle = Mp3CopyObstacle::None;
}

MediaResult readMp3SourceFrames(const std::string& path, Mp3SourceFrames& source)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return AVERROR(errno);
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        const int error = errno ? errno : EINVAL;
        ::close(fd);
        return AVERROR(error);
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(status.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t read = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0)
            break;
        got += static_cast<std::size_t>(read);
    }
    const int error = errno;
    ::close(fd);
    if (got != bytes.size())
        return AVERROR(error ? error : EIO);
    scanMp3Frames(bytes.data(), bytes.size(), source);
    return result::kOk;
}

const char* mp3CopyObstacleText(Mp3CopyObstacle obstacle)
{
    switch (obstacle) {
    case Mp3CopyObstacle::None:
        return "can be copied";
    case Mp3CopyObstacle::NotLayer3:
        return "holds no MP3 frames where its sound starts";
    case Mp3CopyObstacle::FreeFormat:
        return "is a free-format MP3";
    case Mp3CopyObstacle::NoGaplessTag:
        return "has no LAME tag giving its encoder delay and padding";
    case Mp3CopyObstacle::Mixed:
        return "changes its sample rate or channels midway";
    case Mp3CopyObstacle::Damaged:
        return "has a damaged frame";
    }
    return "cannot be copied";
}

} // namespace kestrine

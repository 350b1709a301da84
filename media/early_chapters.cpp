// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/early_chapters.h"

#include "media/ffmpeg.h"
#include "media/partial_file.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string_view>

namespace kestrine {
namespace {

constexpr std::size_t kId3HeaderBytes = 10;
constexpr std::uint8_t kId3FooterFlag = 0x10;

std::uint32_t syncsafe(const std::uint8_t* bytes)
{
    return std::uint32_t(bytes[0] & 0x7f) << 21 | std::uint32_t(bytes[1] & 0x7f) << 14 |
           std::uint32_t(bytes[2] & 0x7f) << 7 | std::uint32_t(bytes[3] & 0x7f);
}

void putSyncsafe(std::uint8_t* bytes, std::uint32_t value)
{
    for (int i = 3; i >= 0; --i, value >>= 7)
        bytes[i] = value & 0x7f;
}

// The whole size of the ID3v2 tag that starts `bytes`, or 0.
std::size_t id3TagBytes(const std::uint8_t* bytes, std::size_t available)
{
    if (available < kId3HeaderBytes || std::memcmp(bytes, "ID3", 3) != 0 ||
        (bytes[5] & kId3FooterFlag) != 0)
        return 0;
    return kId3HeaderBytes + syncsafe(bytes + 6);
}

MediaResult readAll(int fd, std::uint8_t* data, std::size_t size, std::uint64_t offset)
{
    while (size > 0) {
        const ssize_t got = ::pread(fd, data, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got < 0 ? AVERROR(errno) : result::kUnexpected;
        data += got;
        size -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return result::kOk;
}

// One Ogg page as read from the file, and where its body starts in it.
struct OggPage {
    std::uint64_t offset = 0;
    std::vector<std::uint8_t> bytes;
    std::size_t bodyStart = 0;
};

constexpr std::size_t kOggHeaderBytes = 27;
constexpr std::size_t kOggChecksumAt = 22;

std::uint32_t oggChecksum(std::vector<std::uint8_t> page)
{
    std::fill_n(page.begin() + kOggChecksumAt, 4, 0);
    // Ogg's CRC is the MSB-first one; FFmpeg's table answers it byte-swapped,
    // which AV_WB32 turns back into the file's little-endian order.
    return av_crc(av_crc_get_table(AV_CRC_32_IEEE), 0, page.data(), page.size());
}

MediaResult readOggPage(int fd, std::uint64_t offset, OggPage& page)
{
    page.offset = offset;
    page.bytes.assign(kOggHeaderBytes, 0);
    if (const MediaResult read = readAll(fd, page.bytes.data(), kOggHeaderBytes, offset);
        failed(read))
        return read;
    if (std::memcmp(page.bytes.data(), "OggS", 4) != 0)
        return result::kUnexpected;
    const std::size_t segments = page.bytes[26];
    page.bytes.resize(kOggHeaderBytes + segments);
    if (const MediaResult read =
            readAll(fd, page.bytes.data() + kOggHeaderBytes, segments, offset + kOggHeaderBytes);
        failed(read))
        return read;
    std::size_t body = 0;
    for (std::size_t i = 0; i < segments; ++i)
        body += page.bytes[kOggHeaderBytes + i];
    page.bodyStart = page.bytes.size();
    page.bytes.resize(page.bodyStart + body);
    if (const MediaResult read =
            readAll(fd, page.bytes.data() + page.bodyStart, body, offset + page.bodyStart);
        failed(read))
        return read;
    if (AV_RB32(page.bytes.data() + kOggChecksumAt) != oggChecksum(page.bytes))
        return result::kUnexpected;
    return result::kOk;
}

// The length of the packet that starts the page's body, when it ends there.
std::optional<std::size_t> firstPacketEnd(const OggPage& page)
{
    std::size_t length = 0;
    for (std::size_t i = kOggHeaderBytes; i < page.bodyStart; ++i) {
        length += page.bytes[i];
        if (page.bytes[i] < 255)
            return length;
    }
    return std::nullopt;
}

// The number after "CHAPTER" in a chapter comment's key, or 0.
std::size_t chapterNumberOf(std::string_view comment)
{
    constexpr std::string_view kPrefix = "CHAPTER";
    if (comment.size() <= kPrefix.size())
        return 0;
    for (std::size_t i = 0; i < kPrefix.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(comment[i])) != kPrefix[i])
            return 0;
    std::size_t number = 0;
    for (std::size_t i = kPrefix.size();
         i < comment.size() && std::isdigit(static_cast<unsigned char>(comment[i])); ++i)
        number = std::min<std::size_t>(number, SIZE_MAX / 100) * 10 + std::size_t(comment[i] - '0');
    return number;
}

// The OpusTags packet with the chapters after `kept` left out and zeros at
// its end, of the same length; empty when it is not such a packet.
std::vector<std::uint8_t> withChaptersKept(const std::vector<std::uint8_t>& packet,
                                           std::size_t kept)
{
    std::size_t at = 8;
    auto fits = [&](std::size_t bytes) {
        return bytes <= packet.size() - std::min(at, packet.size());
    };
    if (packet.size() < 8 || std::memcmp(packet.data(), "OpusTags", 8) != 0 || !fits(4))
        return {};
    at += 4 + AV_RL32(packet.data() + at);
    if (!fits(4))
        return {};
    const std::uint32_t count = AV_RL32(packet.data() + at);
    const std::size_t countAt = at;
    at += 4;
    std::vector<std::uint8_t> rewritten(packet.begin(),
                                        packet.begin() + static_cast<std::ptrdiff_t>(at));
    std::uint32_t left = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!fits(4) || !fits(4 + std::size_t(AV_RL32(packet.data() + at))))
            return {};
        const std::size_t length = AV_RL32(packet.data() + at);
        const std::string_view comment(reinterpret_cast<const char*>(packet.data() + at + 4),
                                       length);
        if (chapterNumberOf(comment) <= kept) {
            rewritten.insert(rewritten.end(), packet.begin() + static_cast<std::ptrdiff_t>(at),
                             packet.begin() + static_cast<std::ptrdiff_t>(at + 4 + length));
            ++left;
        }
        at += 4 + length;
    }
    AV_WL32(rewritten.data() + countAt, left);
    rewritten.resize(packet.size(), 0);
    return rewritten;
}

} // namespace

MediaResult replaceId3Tag(int fd, const std::vector<std::uint8_t>& tag)
{
    std::uint8_t header[kId3HeaderBytes];
    if (const MediaResult read = readAll(fd, header, sizeof header, 0); failed(read))
        return read;
    const std::size_t oldBytes = id3TagBytes(header, sizeof header);
    const std::size_t newBytes = id3TagBytes(tag.data(), tag.size());
    if (oldBytes == 0 || newBytes == 0 || newBytes > oldBytes || newBytes > tag.size())
        return result::kUnexpected;
    std::vector<std::uint8_t> padded(tag.begin(),
                                     tag.begin() + static_cast<std::ptrdiff_t>(newBytes));
    padded.resize(oldBytes, 0);
    putSyncsafe(padded.data() + 6, static_cast<std::uint32_t>(oldBytes - kId3HeaderBytes));
    return writeAll(fd, padded.data(), padded.size(), 0);
}

MediaResult keepOpusChapters(int fd, std::size_t kept)
{
    // The identification header fills the first page; the comment header
    // starts the second and runs over as many pages as it needs.
    OggPage first;
    if (const MediaResult read = readOggPage(fd, 0, first); failed(read))
        return read;
    if (firstPacketEnd(first) != first.bytes.size() - first.bodyStart)
        return result::kUnexpected;
    std::vector<OggPage> pages;
    std::vector<std::uint8_t> packet;
    std::uint64_t offset = first.bytes.size();
    for (;;) {
        OggPage page;
        if (const MediaResult read = readOggPage(fd, offset, page); failed(read))
            return read;
        offset += page.bytes.size();
        const std::optional<std::size_t> end = firstPacketEnd(page);
        const std::size_t taken = end.value_or(page.bytes.size() - page.bodyStart);
        packet.insert(packet.end(),
                      page.bytes.begin() + static_cast<std::ptrdiff_t>(page.bodyStart),
                      page.bytes.begin() + static_cast<std::ptrdiff_t>(page.bodyStart + taken));
        pages.push_back(std::move(page));
        if (end)
            break;
    }
    const std::vector<std::uint8_t> rewritten = withChaptersKept(packet, kept);
    if (rewritten.empty())
        return result::kUnexpected;
    std::size_t from = 0;
    for (OggPage& page : pages) {
        const std::size_t taken =
            std::min(page.bytes.size() - page.bodyStart, rewritten.size() - from);
        std::copy_n(rewritten.begin() + static_cast<std::ptrdiff_t>(from), taken,
                    page.bytes.begin() + static_cast<std::ptrdiff_t>(page.bodyStart));
        from += taken;
        AV_WB32(page.bytes.data() + kOggChecksumAt, oggChecksum(page.bytes));
        if (const MediaResult written =
                writeAll(fd, page.bytes.data(), page.bytes.size(), page.offset);
            failed(written))
            return written;
    }
    return result::kOk;
}

} // namespace kestrine

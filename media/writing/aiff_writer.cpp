// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/writing/aiff_writer.h"

#include "media/partial_file.h"
#include "media/writing/id3_tag.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

namespace kestrine {
namespace {

constexpr std::uint64_t kHeaderBytes = 12 + 8 + 18 + 8 + 8; // FORM, COMM, SSND up to its sound
constexpr std::uint64_t kMostFormBytes = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t kMostMarkers = 0xFFFF;
constexpr std::size_t kMostNameBytes = 255; // a Pascal string's count is one byte
constexpr std::int64_t kCopyFrames = 4096;

void putBigEndian(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The rate as the 80-bit extended float that COMM holds.
void putExtended(std::vector<std::uint8_t>& out, int rate)
{
    int exponent = 0;
    while ((std::uint64_t{1} << (exponent + 1)) <= static_cast<std::uint64_t>(rate))
        ++exponent;
    putBigEndian(out, static_cast<std::uint64_t>(16383 + exponent), 2);
    putBigEndian(out, static_cast<std::uint64_t>(rate) << (63 - exponent), 8);
}

// The MARK chunk: one marker per source at its frame, named by its file;
// a name is cut to what a Pascal string holds, at a character's start, so
// that it stays UTF-8.
std::vector<std::uint8_t> markChunk(const std::vector<Marker>& markers)
{
    if (markers.empty())
        return {};
    std::vector<std::uint8_t> body;
    const std::size_t count = std::min(markers.size(), kMostMarkers);
    putBigEndian(body, count, 2);
    for (std::size_t i = 0; i < count; ++i) {
        putBigEndian(body, i + 1, 2);
        putBigEndian(body, static_cast<std::uint64_t>(markers[i].frame), 4);
        std::size_t length = std::min(markers[i].label.size(), kMostNameBytes);
        while (length < markers[i].label.size() && length > 0 &&
               (static_cast<unsigned char>(markers[i].label[length]) & 0xC0) == 0x80)
            --length;
        body.push_back(static_cast<std::uint8_t>(length));
        body.insert(body.end(), markers[i].label.begin(),
                    markers[i].label.begin() + static_cast<std::ptrdiff_t>(length));
        if ((length + 1) % 2 != 0)
            body.push_back(0);
    }
    std::vector<std::uint8_t> chunk = {'M', 'A', 'R', 'K'};
    putBigEndian(chunk, body.size(), 4);
    chunk.insert(chunk.end(), body.begin(), body.end());
    return chunk;
}

// `id` is the chunk's four characters.
void putChunk(std::vector<std::uint8_t>& out, const char* id, const std::vector<std::uint8_t>& body)
{
    out.insert(out.end(), id, id + 4);
    putBigEndian(out, body.size(), 4);
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2 != 0)
        out.push_back(0);
}

// AIFF's own text chunks for what they can say, then an ID3v2 tag with every
// tag and the cover: the chunks are what AIFF's own readers know, the tag
// what music players look for.
MediaResult makeTagChunks(const OutputTags& tags, int sampleRate, std::vector<std::uint8_t>& chunks)
{
    chunks.clear();
    if (tags.empty())
        return result::kOk;
    struct TextChunk {
        const char* id;
        const char* key;
    };
    static constexpr TextChunk kTextChunks[] = {{"NAME", "title"}, {"AUTH", "artist"}, {"ANNO", "comment"}};
    for (const TextChunk& text : kTextChunks)
        if (const std::string value = tags.valueOf(text.key); !value.empty())
            putChunk(chunks, text.id, std::vector<std::uint8_t>(value.begin(), value.end()));
    std::vector<std::uint8_t> id3;
    if (const MediaResult made = id3TagOf(tags, {}, sampleRate, 0, nullptr, id3); failed(made))
        return made;
    putChunk(chunks, "ID3 ", id3);
    return result::kOk;
}

} // namespace

AiffWriter::AiffWriter(int fd, const OutputFormat& format, std::vector<Marker> markers,
                       std::int64_t totalFrames, OutputTags tags)
    : ContainerWriter(std::move(markers), std::move(tags)), fd_(fd), format_(format),
      bytesPerFrame_(static_cast<std::uint64_t>(format.channels * format.bitsPerSample / 8)),
      totalFrames_(totalFrames)
{
}

std::uint64_t AiffWriter::offsetOfFrame(std::int64_t frame) const
{
    return kHeaderBytes + static_cast<std::uint64_t>(frame) * bytesPerFrame_;
}

MediaResult AiffWriter::writeHeader(const AVCodecContext*)
{
    if (const MediaResult made = makeTagChunks(tags(), format_.sampleRate, tagChunks_); failed(made))
        return made;
    // Refused before the first frame is written, not when the sizes overflow.
    if (offsetOfFrame(totalFrames_) + tagChunks_.size() + markChunk(markers()).size() > kMostFormBytes)
        return result::kOutputTooLarge;
    return writeAiffHeader(0, 0);
}

MediaResult AiffWriter::writeAiffHeader(std::int64_t frames, std::uint64_t trailerBytes)
{
    const std::uint64_t soundBytes = static_cast<std::uint64_t>(frames) * bytesPerFrame_;
    std::vector<std::uint8_t> header = {'F', 'O', 'R', 'M'};
    putBigEndian(header, kHeaderBytes - 8 + soundBytes + trailerBytes, 4);
    header.insert(header.end(), {'A', 'I', 'F', 'F', 'C', 'O', 'M', 'M'});
    putBigEndian(header, 18, 4);
    putBigEndian(header, static_cast<std::uint64_t>(format_.channels), 2);
    putBigEndian(header, static_cast<std::uint64_t>(frames), 4);
    putBigEndian(header, static_cast<std::uint64_t>(format_.bitsPerSample), 2);
    putExtended(header, format_.sampleRate);
    header.insert(header.end(), {'S', 'S', 'N', 'D'});
    putBigEndian(header, 8 + soundBytes, 4);
    putBigEndian(header, 0, 8); // no offset, no block alignment
    return writeAll(fd_, header.data(), header.size(), 0);
}

MediaResult AiffWriter::writeFrames(std::int64_t frame, const std::uint8_t* data, std::int64_t frames)
{
    std::vector<std::uint8_t> swapped;
    const auto sampleBytes = static_cast<std::size_t>(format_.bitsPerSample / 8);
    while (frames > 0) {
        const std::int64_t chunk = std::min(frames, kCopyFrames);
        const std::size_t bytes = static_cast<std::size_t>(chunk) * bytesPerFrame_;
        swapped.resize(bytes);
        for (std::size_t i = 0; i + sampleBytes <= bytes; i += sampleBytes)
            std::reverse_copy(data + i, data + i + sampleBytes, swapped.begin() + static_cast<std::ptrdiff_t>(i));
        if (const MediaResult written = writeAll(fd_, swapped.data(), bytes, offsetOfFrame(frame));
            failed(written))
            return written;
        data += bytes;
        frame += chunk;
        frames -= chunk;
    }
    return result::kOk;
}

MediaResult AiffWriter::claim(std::int64_t frames)
{
    return writeAiffHeader(frames, 0);
}

MediaResult AiffWriter::writeTrailer(const AVCodecContext*, std::int64_t frames,
                                     const std::vector<Marker>& kept)
{
    if (::ftruncate(fd_, static_cast<off_t>(offsetOfFrame(frames))) != 0 && errno != EINVAL)
        return resultOfWriteError(errno);
    // The tags and markers go after the sound, which never moves, and the
    // header that counts them comes last. A stopped join may end on an odd
    // byte of 24-bit mono: a chunk starts on an even one.
    std::vector<std::uint8_t> trailer;
    if (offsetOfFrame(frames) % 2 != 0)
        trailer.push_back(0);
    trailer.insert(trailer.end(), tagChunks_.begin(), tagChunks_.end());
    const std::vector<std::uint8_t> marks = markChunk(kept);
    trailer.insert(trailer.end(), marks.begin(), marks.end());
    if (!trailer.empty()) {
        if (const MediaResult written = writeAll(fd_, trailer.data(), trailer.size(), offsetOfFrame(frames));
            failed(written))
            return written;
    }
    return writeAiffHeader(frames, trailer.size());
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/wav_header.h"

#include "media/source_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace kestrine {
namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr std::uint32_t kUnknownSize32 = 0xFFFFFFFFu;
constexpr std::uint32_t kDs64Size = 28;
constexpr std::uint32_t kFmtSize = 16;
constexpr std::uint32_t kCuePointSize = 24;
constexpr std::uint64_t kLargestCueOffset = 0xFFFFFFFFu;

// Lays out chunks in little-endian order, as RIFF wants them.
class ChunkWriter {
public:
    void tag(std::string_view fourCC) { bytes_.insert(bytes_.end(), fourCC.begin(), fourCC.begin() + 4); }
    void u16(std::uint16_t value) { little(value, 2); }
    void u32(std::uint32_t value) { little(value, 4); }
    void u64(std::uint64_t value) { little(value, 8); }
    void zeros(std::size_t count) { bytes_.insert(bytes_.end(), count, 0); }
    void text(std::string_view value) { bytes_.insert(bytes_.end(), value.begin(), value.end()); }
    // Chunks start on even offsets, so an odd chunk body is followed by a pad byte.
    void padToEven() { zeros(bytes_.size() & 1); }
    std::size_t size() const { return bytes_.size(); }
    std::vector<std::uint8_t>& bytes() { return bytes_; }

private:
    void little(std::uint64_t value, int count)
    {
        for (int i = 0; i < count; ++i)
            bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    std::vector<std::uint8_t> bytes_;
};

std::uint64_t readLittle(const std::uint8_t* bytes, int count)
{
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

bool readAt(int fd, std::uint64_t offset, void* buffer, std::size_t size)
{
    return ::pread(fd, buffer, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
}

} // namespace

std::uint64_t wavTrailerOffset(std::uint64_t dataBytes)
{
    return kWavHeaderSize + dataBytes + (dataBytes & 1);
}

WavHeader buildWavHeader(const OutputFormat& format, std::uint64_t dataBytes, std::uint64_t trailerBytes)
{
    ChunkWriter writer;
    // Everything after the RIFF chunk's own tag and size; the data's pad
    // byte only counts when a chunk follows it.
    const std::uint64_t fileBytes =
        trailerBytes > 0 ? wavTrailerOffset(dataBytes) + trailerBytes : kWavHeaderSize + dataBytes;
    const std::uint64_t riffBytes = fileBytes - 8;
    const bool rf64 = riffBytes > kUnknownSize32;
    const int blockAlign = format.channels * format.bitsPerSample / 8;

    writer.tag(rf64 ? "RF64" : "RIFF");
    writer.u32(rf64 ? kUnknownSize32 : static_cast<std::uint32_t>(riffBytes));
    writer.tag("WAVE");
    if (rf64) {
        writer.tag("ds64");
        writer.u32(kDs64Size);
        writer.u64(riffBytes);
        writer.u64(dataBytes);
        writer.u64(blockAlign ? dataBytes / static_cast<std::uint64_t>(blockAlign) : 0);
        writer.u32(0); // no table of other chunk sizes
    } else {
        writer.tag("JUNK");
        writer.u32(kDs64Size);
        writer.zeros(kDs64Size);
    }
    writer.tag("fmt ");
    writer.u32(kFmtSize);
    writer.u16(kFormatPcm);
    writer.u16(static_cast<std::uint16_t>(format.channels));
    writer.u32(static_cast<std::uint32_t>(format.sampleRate));
    writer.u32(static_cast<std::uint32_t>(format.sampleRate * blockAlign));
    writer.u16(static_cast<std::uint16_t>(blockAlign));
    writer.u16(static_cast<std::uint16_t>(format.bitsPerSample));
    writer.tag("data");
    writer.u32(rf64 ? kUnknownSize32 : static_cast<std::uint32_t>(dataBytes));

    WavHeader header{};
    std::copy(writer.bytes().begin(), writer.bytes().end(), header.begin());
    return header;
}

std::vector<std::uint8_t> wavTrailer(const std::vector<Marker>& markers)
{
    std::vector<const Marker*> said;
    for (const Marker& marker : markers) {
        if (marker.frame >= 0 && static_cast<std::uint64_t>(marker.frame) <= kLargestCueOffset)
            said.push_back(&marker);
    }
    if (said.empty())
        return {};
    ChunkWriter writer;

    writer.tag("cue ");
    writer.u32(static_cast<std::uint32_t>(4 + kCuePointSize * said.size()));
    writer.u32(static_cast<std::uint32_t>(said.size()));
    for (std::size_t i = 0; i < said.size(); ++i) {
        const auto offset = static_cast<std::uint32_t>(said[i]->frame);
        writer.u32(static_cast<std::uint32_t>(i + 1)); // the cue's ID, which its label names
        writer.u32(offset);                           // its place in play order: the same
        writer.tag("data");
        writer.u32(0); // chunk start and block start: the one data chunk, uncompressed
        writer.u32(0);
        writer.u32(offset);
    }

    writer.tag("LIST");
    const std::size_t listSizeAt = writer.size();
    writer.u32(0); // filled in below
    writer.tag("adtl");
    for (std::size_t i = 0; i < said.size(); ++i) {
        const std::string& label = said[i]->label;
        writer.tag("labl");
        writer.u32(static_cast<std::uint32_t>(4 + label.size() + 1));
        writer.u32(static_cast<std::uint32_t>(i + 1));
        writer.text(label);
        writer.zeros(1);
        writer.padToEven();
    }
    std::vector<std::uint8_t>& bytes = writer.bytes();
    const auto listSize = static_cast<std::uint32_t>(bytes.size() - listSizeAt - 4);
    for (int i = 0; i < 4; ++i)
        bytes[listSizeAt + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(listSize >> (8 * i));
    return std::move(bytes);
}

PcmWavLayout readPcmWavLayout(int fd)
{
    PcmWavLayout layout;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return layout;
    const auto fileSize = static_cast<std::uint64_t>(status.st_size);

    std::uint8_t riff[12];
    if (!readAt(fd, 0, riff, sizeof riff) || std::memcmp(riff + 8, "WAVE", 4) != 0)
        return layout;
    const bool rf64 = std::memcmp(riff, "RF64", 4) == 0;
    if (!rf64 && std::memcmp(riff, "RIFF", 4) != 0)
        return layout;

    std::uint64_t rf64DataBytes = 0;
    bool haveFormat = false;
    std::uint64_t offset = 12;
    // A bounded walk: a hostile file cannot make this loop long.
    for (int chunk = 0; chunk < 64 && offset + 8 <= fileSize; ++chunk) {
        std::uint8_t head[8];
        if (!readAt(fd, offset, head, sizeof head))
            return layout;
        const std::uint64_t size = readLittle(head + 4, 4);
        const std::uint64_t body = offset + 8;
        if (std::memcmp(head, "ds64", 4) == 0 && size >= 24) {
            std::uint8_t ds64[24];
            if (!readAt(fd, body, ds64, sizeof ds64))
                return layout;
            rf64DataBytes = readLittle(ds64 + 8, 8);
        } else if (std::memcmp(head, "fmt ", 4) == 0 && size >= 16) {
            std::uint8_t fmt[40] = {};
            if (!readAt(fd, body, fmt, size >= 40 ? 40 : 16))
                return layout;
            layout.formatTag = static_cast<int>(readLittle(fmt, 2));
            layout.channels = static_cast<int>(readLittle(fmt + 2, 2));
            layout.sampleRate = static_cast<int>(readLittle(fmt + 4, 4));
            layout.blockAlign = static_cast<int>(readLittle(fmt + 12, 2));
            layout.bitsPerSample = static_cast<int>(readLittle(fmt + 14, 2));
            if (layout.formatTag == kFormatExtensible) {
                // The subformat GUID starts with the plain format tag.
                layout.formatTag = size >= 40 ? static_cast<int>(readLittle(fmt + 24, 2)) : 0;
            }
            haveFormat = true;
        } else if (std::memcmp(head, "data", 4) == 0) {
            if (!haveFormat || layout.blockAlign <= 0)
                return layout;
            std::uint64_t claimed = size;
            if (rf64 && size == kUnknownSize32)
                claimed = rf64DataBytes;
            // Files written by streaming tools often leave the size open.
            if (claimed == 0 || claimed == kUnknownSize32)
                claimed = fileSize - body;
            layout.dataOffset = body;
            layout.claimedBytes = claimed;
            layout.dataBytes = std::min(claimed, fileSize - body);
            layout.dataBytes -= layout.dataBytes % static_cast<std::uint64_t>(layout.blockAlign);
            layout.valid = true;
            return layout;
        }
        offset = body + size + (size & 1);
    }
    return layout;
}

PcmWavLayout readPcmWavLayout(const std::string& path)
{
    int fd = -1;
    if (failed(openSourceFile(path, fd)))
        return {};
    const PcmWavLayout layout = readPcmWavLayout(fd);
    ::close(fd);
    return layout;
}

bool isPlainPcm(const PcmWavLayout& layout)
{
    const bool integer = layout.formatTag == kFormatPcm &&
                         (layout.bitsPerSample == 8 || layout.bitsPerSample == 16 ||
                          layout.bitsPerSample == 24 || layout.bitsPerSample == 32);
    const bool floating = layout.formatTag == kFormatFloat &&
                          (layout.bitsPerSample == 32 || layout.bitsPerSample == 64);
    return layout.valid && (integer || floating) && layout.channels > 0 && layout.sampleRate > 0 &&
           layout.sampleRate <= kHighestSampleRate &&
           layout.blockAlign == layout.channels * layout.bitsPerSample / 8;
}

bool matchesOutputFormat(const PcmWavLayout& layout, const OutputFormat& format)
{
    return layout.valid && layout.formatTag == kFormatPcm && layout.channels == format.channels &&
           layout.sampleRate == format.sampleRate && layout.bitsPerSample == format.bitsPerSample &&
           layout.blockAlign == format.channels * format.bitsPerSample / 8;
}

namespace {

void putChunk(std::vector<std::uint8_t>& out, const char* id, const std::uint8_t* data, std::size_t size)
{
    out.insert(out.end(), id, id + 4);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(size >> (8 * i)));
    out.insert(out.end(), data, data + size);
    if (size % 2 != 0)
        out.push_back(0); // chunks start on even offsets
}

// The INFO names of the tags, as FFmpeg and most players read them.
constexpr std::pair<const char*, const char*> kInfoNames[] = {
    {"title", "INAM"}, {"album", "IPRD"}, {"artist", "IART"}, {"genre", "IGNR"},
    {"date", "ICRD"},  {"comment", "ICMT"}};

} // namespace

void appendWavTagChunks(std::vector<std::uint8_t>& trailer, const OutputTags& tags,
                        const std::vector<std::uint8_t>& id3)
{
    std::vector<std::uint8_t> info = {'I', 'N', 'F', 'O'};
    for (const auto& [name, id] : kInfoNames) {
        const std::string value = tags.valueOf(name);
        if (value.empty())
            continue;
        // Each is a zero-terminated string.
        std::vector<std::uint8_t> text(value.begin(), value.end());
        text.push_back(0);
        putChunk(info, id, text.data(), text.size());
    }
    if (info.size() > 4)
        putChunk(trailer, "LIST", info.data(), info.size());
    if (!id3.empty())
        putChunk(trailer, "id3 ", id3.data(), id3.size());
}

} // namespace kestrine

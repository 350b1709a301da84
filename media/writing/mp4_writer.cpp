// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/writing/mp4_writer.h"

#include "media/partial_file.h"
#include "media/loudness/replay_gain.h"
#include "media/utf8_text.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <string>

namespace kestrine {
namespace {

constexpr std::int64_t kAacBitRate = 192000;
constexpr std::size_t kBufferBytes = 256 * 1024;
// About six seconds of AAC at 44,100 Hz in one chunk: few offsets, and a
// two-entry sample-to-chunk table.
constexpr std::uint32_t kPacketsPerChunk = 256;
constexpr std::uint32_t kSoundTrack = 1;
constexpr std::uint32_t kChapterTrack = 2;
constexpr std::uint32_t kTrackEnabled = 1;
constexpr std::uint32_t kTrackInMovie = 2;
constexpr std::uint16_t kLanguageUndetermined = 0x55c4; // "und", packed
constexpr std::uint8_t kAudioObjectMpeg4 = 0x40;
constexpr std::uint8_t kAudioStream = 0x15; // stream type 5, reserved bit set
constexpr std::size_t kChplTitleBytes = 255;
constexpr std::size_t kChplChapters = 255; // its count is one byte
constexpr std::size_t kTextSampleTitleBytes = 65535;
constexpr std::uint32_t kLargestBox32 = std::numeric_limits<std::uint32_t>::max();

// ftyp "M4A " 0x200 {"M4A ", "isom", "iso2"}; free, which becomes a 64-bit
// mdat header past 4 GiB; mdat of size 0, "to the end of the file", until
// the trailer gives its size.
constexpr std::uint8_t kOpening[Mp4Writer::kFirstPacketOffset] = {
    0, 0, 0, 28, 'f', 't', 'y', 'p', 'M', '4', 'A', ' ', 0, 0, 2, 0, 'M', '4', 'A', ' ', 'i', 's',
    'o', 'm', 'i', 's', 'o', '2', 0, 0, 0, 8, 'f', 'r', 'e', 'e', 0, 0, 0, 0, 'm', 'd', 'a', 't'};
constexpr std::uint64_t kMdatAt = 36;
constexpr std::size_t kMajorBrandAt = 8;
constexpr std::size_t kFirstCompatibleBrandAt = 16;
constexpr std::uint8_t kAudiobookBrand[4] = {'M', '4', 'B', ' '};

// A chapter text sample ends with this: its text is UTF-8.
constexpr std::uint8_t kTextEncoding[] = {0, 0, 0, 12, 'e', 'n', 'c', 'd', 0, 0, 1, 0};
// A QuickTime text track's media header (gmin, text), as players expect it.
constexpr std::uint8_t kTextMediaHeader[] = {
    0, 0, 0, 0x18, 'g', 'm', 'i', 'n', 0, 0, 0, 0, 0, 0x40, 0x80, 0, 0x80, 0, 0x80, 0, 0, 0, 0, 0,
    0, 0, 0, 0x2c, 't', 'e', 'x', 't', 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0};
// The text sample description's body: no style beyond a font table entry.
constexpr std::uint8_t kTextDescription[] = {
    0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0xd, 'f', 't', 'a', 'b', 0, 1, 0, 1, 0};

// The longest start of `name` as valid UTF-8, at most `limit` bytes, that
// ends between characters.
std::string cutUtf8(const std::string& name, std::size_t limit)
{
    const std::string text = validUtf8(name);
    if (text.size() <= limit)
        return text;
    std::size_t end = limit;
    while (end > 0 && (static_cast<std::uint8_t>(text[end]) & 0xc0) == 0x80)
        --end;
    return text.substr(0, end);
}

// Boxes built in memory, each sized when it closes. One hole may stand for
// bytes that the caller writes in its place, so that the largest table is
// never copied.
class Boxes {
public:
    static constexpr std::size_t kNoHole = std::numeric_limits<std::size_t>::max();

    void open(const char* type)
    {
        starts_.push_back(bytes_.size());
        u32(0);
        tag(type);
    }
    void openFull(const char* type, std::uint8_t version, std::uint32_t flags)
    {
        open(type);
        u32(std::uint32_t{version} << 24 | flags);
    }
    void close()
    {
        const std::size_t start = starts_.back();
        starts_.pop_back();
        const std::uint64_t size =
            bytes_.size() - start + (holeAt_ != kNoHole && holeAt_ > start ? holeBytes_ : 0);
        for (int i = 0; i < 4; ++i)
            bytes_[start + static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(size >> (8 * (3 - i)));
    }
    void u8(std::uint64_t value) { bytes_.push_back(static_cast<std::uint8_t>(value)); }
    void u16(std::uint64_t value) { big(value, 2); }
    void u24(std::uint64_t value) { big(value, 3); }
    void u32(std::uint64_t value) { big(value, 4); }
    void u64(std::uint64_t value) { big(value, 8); }
    // A 32-bit field in version 0 of a box, 64-bit in version 1.
    void sized(std::uint64_t value, std::uint8_t version) { big(value, version ? 8 : 4); }
    void tag(const char* type) { bytes_.insert(bytes_.end(), type, type + 4); }
    void zeros(std::size_t count) { bytes_.insert(bytes_.end(), count, 0); }
    void raw(const std::uint8_t* data, std::size_t size) { bytes_.insert(bytes_.end(), data, data + size); }
    void raw(const std::string& text) { bytes_.insert(bytes_.end(), text.begin(), text.end()); }
    void unityMatrix()
    {
        for (const std::uint32_t value : {0x10000u, 0u, 0u, 0u, 0x10000u, 0u, 0u, 0u, 0x40000000u})
            u32(value);
    }
    // An MPEG-4 descriptor header, its length in the four-byte form.
    void descriptor(std::uint8_t tagValue, std::uint32_t length)
    {
        u8(tagValue);
        u8(0x80 | ((length >> 21) & 0x7f));
        u8(0x80 | ((length >> 14) & 0x7f));
        u8(0x80 | ((length >> 7) & 0x7f));
        u8(length & 0x7f);
    }
    void hole(std::uint64_t size)
    {
        holeAt_ = bytes_.size();
        holeBytes_ = size;
    }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::size_t holeAt() const { return holeAt_; }

private:
    void big(std::uint64_t value, int count)
    {
        for (int i = count - 1; i >= 0; --i)
            bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }

    std::vector<std::uint8_t> bytes_;
    std::vector<std::size_t> starts_;
    std::size_t holeAt_ = kNoHole;
    std::uint64_t holeBytes_ = 0;
};

std::uint8_t versionFor(std::uint64_t duration)
{
    return duration > kLargestBox32 ? 1 : 0;
}

using Runs = std::vector<std::pair<std::uint32_t, std::uint32_t>>;

void addToRuns(Runs& runs, std::uint32_t value)
{
    if (!runs.empty() && runs.back().second == value)
        ++runs.back().first;
    else
        runs.emplace_back(1, value);
}

struct Track {
    std::uint32_t id = 0;
    std::uint32_t flags = 0;
    std::uint16_t alternateGroup = 0;
    std::uint16_t volume = 0;
    std::uint64_t length = 0;     // what plays, in the movie's time scale
    std::uint64_t mediaStart = 0; // where in the media the play starts
    std::uint64_t mediaLength = 0;
    std::uint16_t language = 0;
};

void writeTrackHeader(Boxes& boxes, const Track& track)
{
    const std::uint8_t version = versionFor(track.length);
    boxes.openFull("tkhd", version, track.flags);
    boxes.sized(0, version); // created
    boxes.sized(0, version); // modified
    boxes.u32(track.id);
    boxes.u32(0);
    boxes.sized(track.length, version);
    boxes.zeros(8);
    boxes.u16(0); // layer
    boxes.u16(track.alternateGroup);
    boxes.u16(track.volume);
    boxes.u16(0);
    boxes.unityMatrix();
    boxes.u32(0); // width
    boxes.u32(0); // height
    boxes.close();
}

void writeEditList(Boxes& boxes, const Track& track)
{
    const std::uint8_t version =
        std::max(versionFor(track.length), versionFor(track.mediaStart));
    boxes.open("edts");
    boxes.openFull("elst", version, 0);
    boxes.u32(1);
    boxes.sized(track.length, version);
    boxes.sized(track.mediaStart, version);
    boxes.u32(0x10000); // rate 1.0
    boxes.close();
    boxes.close();
}

void writeMediaHeader(Boxes& boxes, const Track& track, int timeScale)
{
    const std::uint8_t version = versionFor(track.mediaLength);
    boxes.openFull("mdhd", version, 0);
    boxes.sized(0, version);
    boxes.sized(0, version);
    boxes.u32(static_cast<std::uint32_t>(timeScale));
    boxes.sized(track.mediaLength, version);
    boxes.u16(track.language);
    boxes.u16(0);
    boxes.close();
}

void writeHandler(Boxes& boxes, const char* type, const char* name)
{
    boxes.openFull("hdlr", 0, 0);
    boxes.u32(0);
    boxes.tag(type);
    boxes.zeros(12);
    boxes.raw(std::string(name) + '\0');
    boxes.close();
}

void writeDataReference(Boxes& boxes)
{
    boxes.open("dinf");
    boxes.openFull("dref", 0, 0);
    boxes.u32(1);
    boxes.openFull("url ", 0, 1); // the data is in this file
    boxes.close();
    boxes.close();
    boxes.close();
}

void writeTimesToSamples(Boxes& boxes, const Runs& durations)
{
    boxes.openFull("stts", 0, 0);
    boxes.u32(durations.size());
    for (const auto& [count, duration] : durations) {
        boxes.u32(count);
        boxes.u32(duration);
    }
    boxes.close();
}

// stsz. With `hole`, a table of sizes is left as a hole in its place.
void writeSampleSizes(Boxes& boxes, const std::vector<std::uint32_t>& sizes)
{
    const bool same = !sizes.empty() && std::all_of(sizes.begin(), sizes.end(),
                                                    [&](auto size) { return size == sizes[0]; });
    boxes.openFull("stsz", 0, 0);
    boxes.u32(same ? sizes[0] : 0);
    boxes.u32(sizes.size());
    if (!same)
        for (const auto size : sizes)
            boxes.u32(size);
    boxes.close();
}

// The sound's table is too long to build in memory: a hole that
// putSampleSizes fills as the moov is written.
void writeSoundSampleSizes(Boxes& boxes, const PacketSizes& sizes)
{
    boxes.openFull("stsz", 0, 0);
    boxes.u32(sizes.commonSize());
    boxes.u32(sizes.count());
    if (sizes.commonSize() == 0)
        boxes.hole(std::uint64_t{4} * sizes.count());
    boxes.close();
}

// Chunks of `perChunk` samples, the last one maybe shorter.
void writeSamplesToChunks(Boxes& boxes, std::size_t samples, std::size_t perChunk)
{
    const std::size_t chunks = (samples + perChunk - 1) / perChunk;
    const std::size_t last = samples - (chunks > 0 ? (chunks - 1) * perChunk : 0);
    boxes.openFull("stsc", 0, 0);
    Runs runs;
    if (chunks > 1)
        runs.emplace_back(1, static_cast<std::uint32_t>(perChunk));
    if (chunks > 0 && (chunks == 1 || last != perChunk))
        runs.emplace_back(static_cast<std::uint32_t>(chunks), static_cast<std::uint32_t>(last));
    boxes.u32(runs.size());
    for (const auto& [firstChunk, count] : runs) {
        boxes.u32(firstChunk);
        boxes.u32(count);
        boxes.u32(1); // the one sample description
    }
    boxes.close();
}

// stco, or co64 when an offset passes 4 GiB.
void writeChunkOffsets(Boxes& boxes, const std::vector<std::uint64_t>& offsets)
{
    const bool wide = !offsets.empty() && offsets.back() > kLargestBox32;
    boxes.openFull(wide ? "co64" : "stco", 0, 0);
    boxes.u32(offsets.size());
    for (const std::uint64_t offset : offsets)
        wide ? boxes.u64(offset) : boxes.u32(offset);
    boxes.close();
}

void writeAacDescription(Boxes& boxes, const std::vector<std::uint8_t>& setup, int sampleRate, int channels,
                         std::uint32_t averageBitRate, std::uint32_t maxBitRate)
{
    boxes.openFull("stsd", 0, 0);
    boxes.u32(1);
    boxes.open("mp4a");
    boxes.zeros(6);
    boxes.u16(1); // data reference
    boxes.zeros(8);
    boxes.u16(static_cast<std::uint16_t>(channels)); // the esds tells it too
    boxes.u16(16); // sample size
    boxes.u32(0);
    boxes.u32(sampleRate <= 0xffff ? static_cast<std::uint32_t>(sampleRate) << 16 : 0);
    boxes.openFull("esds", 0, 0);
    const auto setupBytes = static_cast<std::uint32_t>(setup.size());
    const std::uint32_t decoderConfig = 13 + 5 + setupBytes;
    boxes.descriptor(0x03, 3 + 5 + decoderConfig + 5 + 1);
    boxes.u16(kSoundTrack);
    boxes.u8(0);
    boxes.descriptor(0x04, decoderConfig);
    boxes.u8(kAudioObjectMpeg4);
    boxes.u8(kAudioStream);
    boxes.u24(0); // decoding buffer size, unknown
    boxes.u32(maxBitRate);
    boxes.u32(averageBitRate);
    boxes.descriptor(0x05, setupBytes);
    boxes.raw(setup.data(), setup.size());
    boxes.descriptor(0x06, 1);
    boxes.u8(0x02); // MP4 sync layer
    boxes.close();
    boxes.close();
    boxes.close();
}

// The iTunes-style atoms every MP4 player reads tags from, by FFmpeg's names.
constexpr std::pair<const char*, const char*> kItemNames[] = {
    {"title", "\xa9nam"},        {"album", "\xa9" "alb"}, {"artist", "\xa9" "ART"},
    {"album_artist", "aART"},    {"genre", "\xa9gen"},    {"date", "\xa9" "day"},
    {"composer", "\xa9wrt"},     {"comment", "\xa9" "cmt"}};
constexpr std::uint32_t kUtf8Data = 1;
constexpr std::uint32_t kJpegData = 13;
constexpr std::uint32_t kPngData = 14;

void writeItem(Boxes& boxes, const char* type, std::uint32_t dataType, const std::uint8_t* data,
               std::size_t size)
{
    boxes.open(type);
    boxes.open("data");
    boxes.u32(dataType);
    boxes.u32(0); // no locale
    boxes.raw(data, size);
    boxes.close();
    boxes.close();
}

// A tag that has no atom of its own: "----" with the iTunes namespace and
// its name in lower case, as iTunes and ReplayGain readers write them.
void writeFreeformItem(Boxes& boxes, const std::string& key, const std::string& value)
{
    constexpr char kNamespace[] = "com.apple.iTunes";
    std::string name = key;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    boxes.open("----");
    boxes.openFull("mean", 0, 0);
    boxes.raw(reinterpret_cast<const std::uint8_t*>(kNamespace), sizeof kNamespace - 1);
    boxes.close();
    boxes.openFull("name", 0, 0);
    boxes.raw(reinterpret_cast<const std::uint8_t*>(name.data()), name.size());
    boxes.close();
    boxes.open("data");
    boxes.u32(kUtf8Data);
    boxes.u32(0); // no locale
    boxes.raw(reinterpret_cast<const std::uint8_t*>(value.data()), value.size());
    boxes.close();
    boxes.close();
}

// meta with its mdir handler and the ilst of the tags and the cover.
void writeItemList(Boxes& boxes, const OutputTags& tags)
{
    boxes.openFull("meta", 0, 0);
    boxes.openFull("hdlr", 0, 0);
    boxes.u32(0);
    boxes.tag("mdir");
    boxes.tag("appl");
    boxes.zeros(8);
    boxes.u8(0); // no name
    boxes.close();
    boxes.open("ilst");
    for (const auto& [name, type] : kItemNames) {
        const std::string value = tags.valueOf(name);
        if (!value.empty())
            writeItem(boxes, type, kUtf8Data, reinterpret_cast<const std::uint8_t*>(value.data()),
                      value.size());
    }
    if (tags.playbackGain)
        for (const auto& [key, value] : replayGainFieldsOf(*tags.playbackGain))
            writeFreeformItem(boxes, key, value);
    if (!tags.cover.empty())
        writeItem(boxes, "covr", tags.cover.mimeType == "image/png" ? kPngData : kJpegData,
                  tags.cover.bytes.data(), tags.cover.bytes.size());
    boxes.close(); // ilst
    boxes.close(); // meta
}

} // namespace

Mp4Writer::Mp4Writer(int fd, std::vector<Marker> markers, Brand brand, OutputTags tags)
    : ContainerWriter(std::move(markers), std::move(tags)), fd_(fd), brand_(brand)
{
    buffer_.reserve(kBufferBytes);
}

EncoderSetup Mp4Writer::encoderSetup() const
{
    EncoderSetup setup;
    setup.codec = "aac";
    setup.bitRate = kAacBitRate;
    return setup;
}

void Mp4Writer::skipForTesting(std::uint64_t bytes)
{
    if (succeeded(flush())) {
        bufferAt_ += bytes;
    }
}

MediaResult Mp4Writer::fail(MediaResult failure)
{
    if (succeeded(failure_))
        failure_ = failure;
    return failure_;
}

MediaResult Mp4Writer::flush()
{
    if (failed(failure_))
        return failure_;
    if (buffer_.empty())
        return result::kOk;
    if (const MediaResult written = writeAll(fd_, buffer_.data(), buffer_.size(), bufferAt_);
        failed(written))
        return fail(written);
    bufferAt_ += buffer_.size();
    buffer_.clear();
    return result::kOk;
}

MediaResult Mp4Writer::put(const std::uint8_t* data, std::size_t size)
{
    if (buffer_.size() + size > kBufferBytes)
        if (const MediaResult flushed = flush(); failed(flushed))
            return flushed;
    if (size > kBufferBytes) {
        if (const MediaResult written = writeAll(fd_, data, size, bufferAt_); failed(written))
            return fail(written);
        bufferAt_ += size;
        return result::kOk;
    }
    buffer_.insert(buffer_.end(), data, data + size);
    return result::kOk;
}

MediaResult Mp4Writer::putSampleSizes()
{
    std::uint8_t block[4096];
    std::size_t filled = 0;
    MediaResult written = result::kOk;
    const bool complete = sizes_.forEach([&](std::span<const std::uint16_t> sizes) {
        for (const std::uint16_t size : sizes) {
            block[filled++] = 0;
            block[filled++] = 0;
            block[filled++] = static_cast<std::uint8_t>(size >> 8);
            block[filled++] = static_cast<std::uint8_t>(size);
            if (filled == sizeof block) {
                written = put(block, filled);
                if (failed(written))
                    return false;
                filled = 0;
            }
        }
        return true;
    });
    if (failed(written))
        return written;
    // The sizes went to a temporary file that cannot be read back.
    if (!complete)
        return fail(result::kUnexpected);
    return put(block, filled);
}

MediaResult Mp4Writer::writeHeader(const AVCodecContext* codec)
{
    if (!codec || codec->codec_id != AV_CODEC_ID_AAC || codec->extradata_size <= 0 ||
        codec->sample_rate <= 0)
        return result::kInvalidArgument;
    sampleRate_ = codec->sample_rate;
    channels_ = codec->ch_layout.nb_channels;
    frameSize_ = codec->frame_size;
    setup_.assign(codec->extradata, codec->extradata + codec->extradata_size);
    std::uint8_t opening[sizeof kOpening];
    std::copy_n(kOpening, sizeof kOpening, opening);
    if (brand_ == Brand::Audiobook) {
        // Major and first compatible brand; the file is still an M4A to
        // readers that know no audiobooks, by "isom".
        std::copy_n(kAudiobookBrand, 4, opening + kMajorBrandAt);
        std::copy_n(kAudiobookBrand, 4, opening + kFirstCompatibleBrandAt);
    }
    return put(opening, sizeof opening);
}

MediaResult Mp4Writer::writePacket(AVPacket& packet)
{
    if (packet.size <= 0)
        return result::kOk;
    // An AAC frame holds at most 6,144 bits a channel.
    if (packet.size > std::numeric_limits<std::uint16_t>::max())
        return fail(result::kUnexpected);
    if (sizes_.count() % kPacketsPerChunk == 0)
        chunkOffsets_.push_back(bufferAt_ + buffer_.size());
    if (const MediaResult written = put(packet.data, static_cast<std::size_t>(packet.size));
        failed(written))
        return written;
    sizes_.add(static_cast<std::uint16_t>(packet.size));
    addToRuns(durations_, static_cast<std::uint32_t>(packet.duration > 0 ? packet.duration : frameSize_));
    return result::kOk;
}

MediaResult Mp4Writer::writeTrailer(const AVCodecContext* codec, std::int64_t frames,
                                    const std::vector<Marker>& chapters)
{
    if (!codec)
        return result::kInvalidArgument;
    const auto length = static_cast<std::uint64_t>(std::max<std::int64_t>(frames, 0));

    // The chapter names go into the mdat after the sound, one text sample each.
    const std::uint64_t chaptersAt = bufferAt_ + buffer_.size();
    std::vector<std::uint32_t> chapterSizes;
    Runs chapterDurations;
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        const std::string title = cutUtf8(chapters[i].label, kTextSampleTitleBytes);
        const std::uint8_t size[2] = {static_cast<std::uint8_t>(title.size() >> 8),
                                      static_cast<std::uint8_t>(title.size())};
        if (const MediaResult written = put(size, 2); failed(written))
            return written;
        if (const MediaResult written =
                put(reinterpret_cast<const std::uint8_t*>(title.data()), title.size());
            failed(written))
            return written;
        if (const MediaResult written = put(kTextEncoding, sizeof kTextEncoding); failed(written))
            return written;
        chapterSizes.push_back(static_cast<std::uint32_t>(2 + title.size() + sizeof kTextEncoding));
        const std::int64_t end = i + 1 < chapters.size() ? chapters[i + 1].frame : frames;
        // The first source starts the join: its chapter, the track.
        const std::int64_t start = i == 0 ? 0 : chapters[i].frame;
        addToRuns(chapterDurations, static_cast<std::uint32_t>(end - start));
    }
    const std::uint64_t mdatEnd = bufferAt_ + buffer_.size();

    const std::uint64_t dataBytes = sizes_.totalBytes();
    std::uint64_t mediaLength = 0;
    for (const auto& [count, duration] : durations_)
        mediaLength += std::uint64_t{count} * duration;
    const auto averageBitRate = static_cast<std::uint32_t>(
        mediaLength > 0 ? dataBytes * 8 * static_cast<std::uint64_t>(sampleRate_) / mediaLength : 0);
    const auto maxBitRate =
        std::max(averageBitRate, static_cast<std::uint32_t>(std::max<std::int64_t>(codec->bit_rate, 0)));

    Track sound;
    sound.id = kSoundTrack;
    sound.flags = kTrackEnabled | kTrackInMovie;
    sound.alternateGroup = 1;
    sound.volume = 0x100;
    sound.length = length;
    sound.mediaStart = static_cast<std::uint64_t>(std::max(codec->initial_padding, 0));
    sound.mediaLength = mediaLength;
    sound.language = kLanguageUndetermined;
    Track text;
    text.id = kChapterTrack;
    text.flags = kTrackInMovie;
    text.length = length;
    text.mediaLength = length;

    Boxes boxes;
    boxes.open("moov");
    const std::uint8_t movieVersion = versionFor(length);
    boxes.openFull("mvhd", movieVersion, 0);
    boxes.sized(0, movieVersion);
    boxes.sized(0, movieVersion);
    boxes.u32(static_cast<std::uint32_t>(sampleRate_));
    boxes.sized(length, movieVersion);
    boxes.u32(0x10000); // rate 1.0
    boxes.u16(0x100);   // volume 1.0
    boxes.zeros(10);
    boxes.unityMatrix();
    boxes.zeros(24);
    boxes.u32(chapters.empty() ? kChapterTrack : kChapterTrack + 1); // next track
    boxes.close();

    boxes.open("trak");
    writeTrackHeader(boxes, sound);
    writeEditList(boxes, sound);
    if (!chapters.empty()) {
        boxes.open("tref");
        boxes.open("chap");
        boxes.u32(kChapterTrack);
        boxes.close();
        boxes.close();
    }
    boxes.open("mdia");
    writeMediaHeader(boxes, sound, sampleRate_);
    writeHandler(boxes, "soun", "SoundHandler");
    boxes.open("minf");
    boxes.openFull("smhd", 0, 0);
    boxes.u32(0);
    boxes.close();
    writeDataReference(boxes);
    boxes.open("stbl");
    writeAacDescription(boxes, setup_, sampleRate_, channels_, averageBitRate, maxBitRate);
    writeTimesToSamples(boxes, durations_);
    writeSamplesToChunks(boxes, sizes_.count(), kPacketsPerChunk);
    writeSoundSampleSizes(boxes, sizes_);
    writeChunkOffsets(boxes, chunkOffsets_);
    // Every AAC packet needs the one before it to decode in full.
    boxes.openFull("sgpd", 1, 0);
    boxes.tag("roll");
    boxes.u32(2);
    boxes.u32(1);
    boxes.u16(0xffff); // -1
    boxes.close();
    boxes.openFull("sbgp", 0, 0);
    boxes.tag("roll");
    boxes.u32(1);
    boxes.u32(sizes_.count());
    boxes.u32(1);
    boxes.close();
    boxes.close(); // stbl
    boxes.close(); // minf
    boxes.close(); // mdia
    boxes.close(); // trak

    if (!chapters.empty()) {
        boxes.open("trak");
        writeTrackHeader(boxes, text);
        writeEditList(boxes, text);
        boxes.open("mdia");
        writeMediaHeader(boxes, text, sampleRate_);
        writeHandler(boxes, "text", "SubtitleHandler");
        boxes.open("minf");
        boxes.open("gmhd");
        boxes.raw(kTextMediaHeader, sizeof kTextMediaHeader);
        boxes.close();
        writeDataReference(boxes);
        boxes.open("stbl");
        boxes.openFull("stsd", 0, 0);
        boxes.u32(1);
        boxes.open("text");
        boxes.raw(kTextDescription, sizeof kTextDescription);
        boxes.close();
        boxes.close();
        writeTimesToSamples(boxes, chapterDurations);
        writeSamplesToChunks(boxes, chapters.size(), chapters.size());
        writeSampleSizes(boxes, chapterSizes);
        writeChunkOffsets(boxes, {chaptersAt});
        boxes.close(); // stbl
        boxes.close(); // minf
        boxes.close(); // mdia
        boxes.close(); // trak

    }
    if (!chapters.empty() || !tags().empty())
        boxes.open("udta");
    if (!chapters.empty()) {
        const std::size_t listed = std::min(chapters.size(), kChplChapters);
        boxes.openFull("chpl", 1, 0);
        boxes.u32(0);
        boxes.u8(listed);
        for (std::size_t i = 0; i < listed; ++i) {
            const std::string title = cutUtf8(chapters[i].label, kChplTitleBytes);
            boxes.u64(static_cast<std::uint64_t>(
                av_rescale_rnd(chapters[i].frame, 10'000'000, sampleRate_, AV_ROUND_NEAR_INF)));
            boxes.u8(title.size());
            boxes.raw(title);
        }
        boxes.close();
    }
    if (!tags().empty())
        writeItemList(boxes, tags());
    if (!chapters.empty() || !tags().empty())
        boxes.close(); // udta
    boxes.close(); // moov

    const std::vector<std::uint8_t>& moov = boxes.bytes();
    const std::size_t split = std::min(boxes.holeAt(), moov.size());
    if (const MediaResult written = put(moov.data(), split); failed(written))
        return written;
    if (boxes.holeAt() != Boxes::kNoHole)
        if (const MediaResult written = putSampleSizes(); failed(written))
            return written;
    if (const MediaResult written = put(moov.data() + split, moov.size() - split); failed(written))
        return written;
    if (const MediaResult flushed = flush(); failed(flushed))
        return flushed;

    // Last, the mdat's size: until it is there, the mdat runs to the end of
    // the file and hides the moov.
    const std::uint64_t mdatBytes = mdatEnd - kMdatAt;
    Boxes header;
    std::uint64_t headerAt = kMdatAt;
    if (mdatBytes <= kLargestBox32) {
        header.u32(mdatBytes);
    } else {
        headerAt = kMdatAt - 8; // over the free box
        header.u32(1);
        header.tag("mdat");
        header.u64(mdatBytes + 8);
    }
    if (const MediaResult written =
            writeAll(fd_, header.bytes().data(), header.bytes().size(), headerAt);
        failed(written))
        return fail(written);
    return result::kOk;
}

} // namespace kestrine

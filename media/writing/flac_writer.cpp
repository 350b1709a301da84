// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/writing/flac_writer.h"

#include "media/chapter_comments.h"
#include "media/partial_file.h"
#include "media/loudness/replay_gain.h"
#include "media/writing/vorbis_tags.h"

#include <algorithm>
#include <string>

namespace kestrine {
namespace {

constexpr std::size_t kStreamInfoBytes = 34;
constexpr std::size_t kStreamInfoSamplesAt = 13; // 36 bits, from the low nibble of this byte
constexpr std::size_t kStreamInfoMd5At = 18;
constexpr std::size_t kMd5Bytes = 16;
constexpr std::size_t kBlockHeaderBytes = 4;
constexpr std::uint8_t kStreamInfoBlock = 0;
constexpr std::uint8_t kPaddingBlock = 1;
constexpr std::uint8_t kCommentBlock = 4;
constexpr std::uint8_t kCueSheetBlock = 5;
constexpr std::uint8_t kPictureBlock = 6;
constexpr std::uint8_t kLastBlockFlag = 0x80;
constexpr std::uint8_t kLeadOutTrack = 255; // a cue sheet not of a CD
constexpr char kVendor[] = "Kestrine";

void putBigEndian(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putLittleEndian32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putZeros(std::vector<std::uint8_t>& out, std::size_t count)
{
    out.insert(out.end(), count, 0);
}

void putBlock(std::vector<std::uint8_t>& out, std::uint8_t type,
              const std::vector<std::uint8_t>& body)
{
    out.push_back(type);
    putBigEndian(out, body.size(), 3);
    out.insert(out.end(), body.begin(), body.end());
}

std::vector<std::uint8_t> commentBody(const OutputTags& tags, const std::vector<Marker>& markers,
                                      int sampleRate)
{
    std::vector<std::string> comments;
    for (const auto& [key, value] : vorbisCommentsOf(tags))
        comments.push_back(key + "=" + value);
    if (tags.playbackGain)
        for (const auto& [key, value] : replayGainFieldsOf(*tags.playbackGain))
            comments.push_back(key + "=" + value);
    for (const auto& [key, value] : chapterComments(markers, sampleRate))
        comments.push_back(key + "=" + value);
    std::vector<std::uint8_t> body;
    putLittleEndian32(body, sizeof kVendor - 1);
    body.insert(body.end(), kVendor, kVendor + sizeof kVendor - 1);
    putLittleEndian32(body, static_cast<std::uint32_t>(comments.size()));
    for (const std::string& comment : comments) {
        putLittleEndian32(body, static_cast<std::uint32_t>(comment.size()));
        body.insert(body.end(), comment.begin(), comment.end());
    }
    return body;
}

std::vector<std::uint8_t> cueSheetBody(const std::vector<Marker>& markers, std::int64_t frames)
{
    std::vector<std::uint8_t> body;
    putZeros(body, 128);      // no media catalog number
    putBigEndian(body, 0, 8); // no lead-in: not a CD
    putZeros(body, 259);      // not a CD, reserved
    const std::size_t tracks = std::min(markers.size(), FlacWriter::kMostCueTracks);
    body.push_back(static_cast<std::uint8_t>(tracks + 1));
    for (std::size_t i = 0; i < tracks; ++i) {
        putBigEndian(body, static_cast<std::uint64_t>(markers[i].frame), 8);
        body.push_back(static_cast<std::uint8_t>(i + 1));
        putZeros(body, 12); // no ISRC
        putZeros(body, 14); // audio, no pre-emphasis, reserved
        body.push_back(1);  // one index point: the track starts at its offset
        putBigEndian(body, 0, 8);
        body.push_back(1);
        putZeros(body, 3);
    }
    putBigEndian(body, static_cast<std::uint64_t>(frames), 8);
    body.push_back(kLeadOutTrack);
    putZeros(body, 12 + 14);
    body.push_back(0);
    return body;
}

// The encoder's STREAMINFO for a file of `frames` frames whose MD5 sum is
// not known: FLAC's all-zero sum says so, where a stale one would fail every
// check of the file.
std::vector<std::uint8_t> streamInfoWithoutMd5(const AVCodecContext& codec, std::int64_t frames)
{
    std::vector<std::uint8_t> info(codec.extradata, codec.extradata + kStreamInfoBytes);
    const auto samples = static_cast<std::uint64_t>(frames);
    info[kStreamInfoSamplesAt] =
        static_cast<std::uint8_t>((info[kStreamInfoSamplesAt] & 0xf0) | ((samples >> 32) & 0x0f));
    for (int i = 0; i < 4; ++i)
        info[kStreamInfoSamplesAt + 1 + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(samples >> (8 * (3 - i)));
    std::fill_n(info.begin() + kStreamInfoMd5At, kMd5Bytes, 0);
    return info;
}

} // namespace

FlacWriter::FlacWriter(int fd, int sampleRate, std::vector<Marker> markers,
                       std::int64_t totalFrames, OutputTags tags)
    : ContainerWriter(std::move(markers), std::move(tags)), fd_(fd), sampleRate_(sampleRate),
      totalFrames_(totalFrames)
{
}

EncoderSetup FlacWriter::encoderSetup() const
{
    EncoderSetup setup;
    setup.codec = "flac";
    return setup;
}

std::vector<std::uint8_t> FlacWriter::metadata(const std::vector<std::uint8_t>& streamInfo,
                                                   const std::vector<Marker>& kept,
                                                   std::int64_t frames) const
{
    std::vector<std::uint8_t> out = {'f', 'L', 'a', 'C'};
    putBlock(out, kStreamInfoBlock, streamInfo);
    // The comments come last: FFmpeg reads both as chapters, and the
    // comments' names then stay on the cue sheet's tracks of the same number.
    if (!kept.empty())
        putBlock(out, kCueSheetBlock, cueSheetBody(kept, frames));
    putBlock(out, kCommentBlock, commentBody(tags(), kept, sampleRate_));
    if (!tags().cover.empty())
        putBlock(out, kPictureBlock, flacPictureOf(tags().cover));
    // Markers left out at the end leave their room as padding, so the
    // frames stay where they were written.
    if (metadataBytes_ > 0 && out.size() < metadataBytes_) {
        const std::size_t gap = metadataBytes_ - out.size();
        putBlock(out, kPaddingBlock, std::vector<std::uint8_t>(gap - kBlockHeaderBytes, 0));
    }
    // The last block says so; block types are the low seven bits of its header.
    std::size_t at = 4;
    std::size_t last = at;
    while (at < out.size()) {
        last = at;
        at += kBlockHeaderBytes +
              (std::size_t{out[at + 1]} << 16 | std::size_t{out[at + 2]} << 8 | out[at + 3]);
    }
    out[last] |= kLastBlockFlag;
    return out;
}

MediaResult FlacWriter::writeHeader(const AVCodecContext* codec)
{
    if (!codec || !codec->extradata || codec->extradata_size < static_cast<int>(kStreamInfoBytes))
        return AVERROR_BUG;
    // Nothing is known of the sound yet: no length and no MD5 sum. The room
    // is that of every marker, which a finished join names.
    const std::vector<std::uint8_t> info = streamInfoWithoutMd5(*codec, 0);
    metadataBytes_ = metadata(info, markers(), totalFrames_).size();
    const std::vector<std::uint8_t> header = metadata(info, {}, 0);
    if (const MediaResult written = writeAll(fd_, header.data(), header.size(), 0); failed(written))
        return written;
    position_ = header.size();
    return result::kOk;
}

MediaResult FlacWriter::writePacket(AVPacket& packet)
{
    // FFmpeg's encoder gives its final STREAMINFO, with the MD5 sum of all
    // it encoded, only as side data of its last packet (FFmpeg 5.1 leaves
    // the one in the codec's extradata as it was before the last frames).
    std::size_t size = 0;
    if (const std::uint8_t* info = av_packet_get_side_data(&packet, AV_PKT_DATA_NEW_EXTRADATA, &size);
        info && size >= kStreamInfoBytes)
        finalStreamInfo_.assign(info, info + kStreamInfoBytes);
    if (packet.size <= 0)
        return result::kOk;
    if (const MediaResult written =
            writeAll(fd_, packet.data, static_cast<std::uint64_t>(packet.size), position_);
        failed(written))
        return written;
    position_ += static_cast<std::uint64_t>(packet.size);
    return result::kOk;
}

MediaResult FlacWriter::writeTrailer(const AVCodecContext* codec, std::int64_t frames,
                                     const std::vector<Marker>& kept)
{
    if (!codec)
        return AVERROR_BUG;
    // The encoder's last word holds the sample count and the MD5 sum of the
    // frames it was given, which are exactly the file's.
    // An empty file still names the sources at its start.
    const std::vector<std::uint8_t> header = metadata(
        finalStreamInfo_.empty() ? streamInfoWithoutMd5(*codec, frames) : finalStreamInfo_,
        frames > 0 ? kept : markersReached(markers(), 1), frames);
    if (header.size() != metadataBytes_)
        return AVERROR_BUG;
    return writeAll(fd_, header.data(), header.size(), 0);
}

} // namespace kestrine

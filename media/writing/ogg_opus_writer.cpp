// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/writing/ogg_opus_writer.h"

#include "media/chapter_comments.h"
#include "media/early_chapters.h"
#include "media/partial_file.h"
#include "media/loudness/replay_gain.h"
#include "media/writing/vorbis_tags.h"

namespace kestrine {
namespace {

constexpr std::int64_t kOpusBitRate = 128000;

} // namespace

OggOpusWriter::OggOpusWriter(std::unique_ptr<FfmpegMuxer> muxer, int sampleRate,
                             std::vector<Marker> markers, OutputTags tags)
    : ContainerWriter(std::move(markers), std::move(tags)), muxer_(std::move(muxer)), sampleRate_(sampleRate)
{
}

MediaResult OggOpusWriter::create(int fd, const std::string& path, int sampleRate,
                                  std::vector<Marker> markers,
                                  std::unique_ptr<ContainerWriter>& writer, OutputTags tags)
{
    std::unique_ptr<FfmpegMuxer> muxer;
    if (const MediaResult made = FfmpegMuxer::create("opus", fd, path, muxer); failed(made))
        return made;
    // The tags first: readers list them before the chapters.
    for (const auto& [key, value] : vorbisCommentsOf(tags))
        if (av_dict_set(&muxer->stream().metadata, key.c_str(), value.c_str(), 0) < 0)
            return result::kOutOfMemory;
    // Opus has gains of its own and wants no ReplayGain tags beside them;
    // the header's output gain stays 0, so that no decoder plays it
    // differently from what was joined.
    if (tags.playbackGain)
        for (const auto& [key, value] : r128FieldsOf(*tags.playbackGain))
            if (av_dict_set(&muxer->stream().metadata, key.c_str(), value.c_str(), 0) < 0)
                return result::kOutOfMemory;
    // FFmpeg's Ogg muxer (5.1) writes no pictures at all.
    if (!tags.cover.empty())
        if (av_dict_set(&muxer->stream().metadata, "METADATA_BLOCK_PICTURE",
                        metadataBlockPictureOf(tags.cover).c_str(), 0) < 0)
            return result::kOutOfMemory;
    // FFmpeg's Ogg muxer rounds a chapter's whole seconds up from the half
    // second, so the comments are written here, exact to the millisecond.
    for (const auto& [key, value] : chapterComments(markers, sampleRate))
        if (av_dict_set(&muxer->stream().metadata, key.c_str(), value.c_str(), 0) < 0)
            return result::kOutOfMemory;
    writer.reset(new OggOpusWriter(std::move(muxer), sampleRate, std::move(markers), std::move(tags)));
    return result::kOk;
}

EncoderSetup OggOpusWriter::encoderSetup() const
{
    EncoderSetup setup;
    setup.codec = "libopus";
    setup.bitRate = kOpusBitRate;
    return setup;
}

MediaResult OggOpusWriter::writeHeader(const AVCodecContext* codec)
{
    if (!codec)
        return result::kInvalidArgument;
    if (const MediaResult written = muxer_->writeHeader(*codec, nullptr); failed(written))
        return written;
    return markers().empty() ? result::kOk : keepOpusChapters(muxer_->fd(), 0);
}

MediaResult OggOpusWriter::writePacket(AVPacket& packet)
{
    return muxer_->writePacket(packet, sampleRate_);
}

MediaResult OggOpusWriter::writeTrailer(const AVCodecContext*, std::int64_t,
                                        const std::vector<Marker>& kept)
{
    if (const MediaResult ended = muxer_->writeTrailer(); failed(ended))
        return ended;
    if (markers().empty())
        return result::kOk;
    // The headers as first written name every chapter; those past the
    // sources reached are dropped again.
    const std::vector<std::uint8_t>& headers = muxer_->headers();
    if (const MediaResult written = writeAll(muxer_->fd(), headers.data(), headers.size(), 0);
        failed(written))
        return written;
    return keepOpusChapters(muxer_->fd(), kept.size());
}

} // namespace kestrine

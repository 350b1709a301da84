// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/writing/mp3_writer.h"

#include "media/early_chapters.h"
#include "media/loudness/replay_gain.h"
#include "media/writing/id3_tag.h"

namespace kestrine {
namespace {

constexpr int kLameQuality = 2; // LAME's -V 2, about 190 kbit/s

// ID3v2.3 gives a chapter's title frame a plain size; FFmpeg's reader, among
// others, misreads the 2.4 form from 128 bytes on and drops the chapter.
DictionaryPtr headerOptions()
{
    AVDictionary* options = nullptr;
    av_dict_set_int(&options, "id3v2_version", 3, 0);
    return DictionaryPtr(options);
}

} // namespace

Mp3Writer::Mp3Writer(std::unique_ptr<FfmpegMuxer> muxer, int sampleRate, std::vector<Marker> markers,
                     OutputTags tags)
    : ContainerWriter(std::move(markers), std::move(tags)), muxer_(std::move(muxer)), sampleRate_(sampleRate)
{
}

MediaResult Mp3Writer::create(int fd, const std::string& path, int sampleRate,
                              std::vector<Marker> markers, std::int64_t totalFrames,
                              std::unique_ptr<ContainerWriter>& writer, OutputTags tags)
{
    std::unique_ptr<FfmpegMuxer> muxer;
    if (const MediaResult made = FfmpegMuxer::create("mp3", fd, path, muxer); failed(made))
        return made;
    // FFmpeg's muxer would write each frame with a call of its own: a join
    // that copies frames would spend half its time there.
    muxer->context().flush_packets = 0;
    // All of them, so that the tag takes the room the finished file needs.
    if (const MediaResult added = addChapters(muxer->context(), markers, sampleRate, totalFrames);
        failed(added))
        return added;
    for (const auto& [key, value] : tags.fields)
        if (av_dict_set(&muxer->context().metadata, key.c_str(), value.c_str(), 0) < 0)
            return result::kOutOfMemory;
    if (tags.playbackGain)
        for (const auto& [key, value] : replayGainFieldsOf(*tags.playbackGain))
            if (av_dict_set(&muxer->context().metadata, key.c_str(), value.c_str(), 0) < 0)
                return result::kOutOfMemory;
    // FFmpeg's muxer takes no picture before the sound; its room is kept as
    // padding, which the tag with the cover then takes.
    if (!tags.cover.empty())
        muxer->context().metadata_header_padding = static_cast<int>(id3CoverBytes(tags));
    writer.reset(new Mp3Writer(std::move(muxer), sampleRate, std::move(markers), std::move(tags)));
    return result::kOk;
}

EncoderSetup Mp3Writer::encoderSetup() const
{
    EncoderSetup setup;
    setup.codec = "libmp3lame";
    setup.vbrQuality = kLameQuality;
    return setup;
}

MediaResult Mp3Writer::writeHeader(const AVCodecContext* codec)
{
    if (!codec)
        return result::kInvalidArgument;
    if (const MediaResult written = muxer_->writeHeader(*codec, headerOptions()); failed(written))
        return written;
    if (markers().empty() && tags().cover.empty())
        return result::kOk;
    std::vector<std::uint8_t> tag;
    if (const MediaResult made = id3TagWith({}, 0, tag); failed(made))
        return made;
    return replaceId3Tag(muxer_->fd(), tag);
}

MediaResult Mp3Writer::writePacket(AVPacket& packet)
{
    return muxer_->writePacket(packet, sampleRate_);
}

MediaResult Mp3Writer::writeTrailer(const AVCodecContext*, std::int64_t frames,
                                    const std::vector<Marker>& kept)
{
    if (const MediaResult ended = muxer_->writeTrailer(); failed(ended))
        return ended;
    if (markers().empty() && tags().cover.empty())
        return result::kOk;
    std::vector<std::uint8_t> tag;
    if (const MediaResult made = id3TagWith(kept, frames, tag); failed(made))
        return made;
    return replaceId3Tag(muxer_->fd(), tag);
}

MediaResult Mp3Writer::id3TagWith(const std::vector<Marker>& markers, std::int64_t frames,
                                  std::vector<std::uint8_t>& tag) const
{
    return id3TagOf(tags(), markers, sampleRate_, frames, muxer_->stream().codecpar, tag);
}

} // namespace kestrine

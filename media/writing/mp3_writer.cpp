// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/writing/mp3_writer.h"

#include "media/early_chapters.h"

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

Mp3Writer::Mp3Writer(std::unique_ptr<FfmpegMuxer> muxer, int sampleRate, std::vector<Marker> markers)
    : ContainerWriter(std::move(markers)), muxer_(std::move(muxer)), sampleRate_(sampleRate)
{
}

MediaResult Mp3Writer::create(int fd, const std::string& path, int sampleRate,
                              std::vector<Marker> markers, std::int64_t totalFrames,
                              std::unique_ptr<ContainerWriter>& writer)
{
    std::unique_ptr<FfmpegMuxer> muxer;
    if (const MediaResult made = FfmpegMuxer::create("mp3", fd, path, muxer); failed(made))
        return made;
    // All of them, so that the tag takes the room the finished file needs.
    if (const MediaResult added = addChapters(muxer->context(), markers, sampleRate, totalFrames);
        failed(added))
        return added;
    writer.reset(new Mp3Writer(std::move(muxer), sampleRate, std::move(markers)));
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
    if (markers().empty())
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
    if (markers().empty())
        return result::kOk;
    std::vector<std::uint8_t> tag;
    if (const MediaResult made = id3TagWith(kept, frames, tag); failed(made))
        return made;
    return replaceId3Tag(muxer_->fd(), tag);
}

MediaResult Mp3Writer::id3TagWith(const std::vector<Marker>& markers, std::int64_t frames,
                                  std::vector<std::uint8_t>& tag) const
{
    // FFmpeg's MP3 muxer writes only the tag when its output cannot seek.
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "mp3", nullptr) < 0 || !raw)
        return result::kNoEncoder;
    const OutputFormatPtr context(raw);
    AVStream* stream = avformat_new_stream(raw, nullptr);
    if (!stream)
        return result::kOutOfMemory;
    if (const int error = avcodec_parameters_copy(stream->codecpar, muxer_->stream().codecpar);
        error < 0)
        return muxer_->resultOf(error);
    stream->time_base = muxer_->stream().time_base;
    if (const MediaResult added = addChapters(*raw, markers, sampleRate_, frames); failed(added))
        return added;
    AVIOContext* opened = nullptr;
    if (avio_open_dyn_buf(&opened) < 0)
        return result::kOutOfMemory;
    DynamicBufferPtr buffer(opened);
    raw->pb = buffer.get();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    DictionaryPtr options = headerOptions();
    AVDictionary* given = options.release();
    const int error = avformat_write_header(raw, &given);
    options.reset(given);
    if (error < 0)
        return muxer_->resultOf(error);
    std::uint8_t* bytes = nullptr;
    const int size = avio_get_dyn_buf(buffer.get(), &bytes);
    if (size <= 0)
        return result::kOutOfMemory;
    tag.assign(bytes, bytes + size);
    return result::kOk;
}

} // namespace kestrine

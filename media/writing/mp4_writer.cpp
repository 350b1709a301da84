// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/writing/mp4_writer.h"

namespace kestrine {
namespace {

constexpr std::int64_t kAacBitRate = 192000;

} // namespace

Mp4Writer::Mp4Writer(std::unique_ptr<FfmpegMuxer> muxer, int sampleRate, std::vector<Marker> markers)
    : ContainerWriter(std::move(markers)), muxer_(std::move(muxer)), sampleRate_(sampleRate)
{
}

MediaResult Mp4Writer::create(int fd, const std::string& path, int sampleRate,
                              std::vector<Marker> markers, std::unique_ptr<ContainerWriter>& writer)
{
    std::unique_ptr<FfmpegMuxer> muxer;
    // "ipod" is FFmpeg's MP4 flavour for .m4a.
    if (const MediaResult made = FfmpegMuxer::create("ipod", fd, path, muxer); failed(made))
        return made;
    writer.reset(new Mp4Writer(std::move(muxer), sampleRate, std::move(markers)));
    return result::kOk;
}

EncoderSetup Mp4Writer::encoderSetup() const
{
    EncoderSetup setup;
    setup.codec = "aac";
    setup.bitRate = kAacBitRate;
    return setup;
}

MediaResult Mp4Writer::writeHeader(const AVCodecContext* codec)
{
    if (!codec)
        return result::kInvalidArgument;
    // A movie time scale of the sample rate makes the edit list exact to the sample.
    AVDictionary* options = nullptr;
    av_dict_set_int(&options, "movie_timescale", sampleRate_, 0);
    return muxer_->writeHeader(*codec, DictionaryPtr(options));
}

MediaResult Mp4Writer::writePacket(AVPacket& packet)
{
    return muxer_->writePacket(packet, sampleRate_);
}

MediaResult Mp4Writer::writeTrailer(const AVCodecContext*, std::int64_t frames,
                                    const std::vector<Marker>& kept)
{
    if (const MediaResult added = addChapters(muxer_->context(), kept, sampleRate_, frames);
        failed(added))
        return added;
    return muxer_->writeTrailer();
}

} // namespace kestrine

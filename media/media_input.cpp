// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/media_input.h"

#include "media/render_plan.h"
#include "media/source_file.h"

#include <cstring>

namespace kestrine {
namespace {

// FFmpeg's own code says why a file would not open (AVERROR(ENOENT),
// AVERROR(EACCES), AVERROR_INVALIDDATA ...), and the user is told that reason.
MediaResult resultOfOpenError(int error)
{
    if (error == AVERROR(ENOMEM))
        return result::kOutOfMemory;
    if (error == AVERROR_EXIT)
        return result::kStopped;
    // Our arguments are always valid: a demuxer that answers EINVAL, as the
    // MP3 one does for words in a file named .mp3, refuses the file's data.
    return error == AVERROR(EINVAL) ? AVERROR_INVALIDDATA : error;
}

// Asked by FFmpeg between reads and while it waits.
int stopWasRequested(void* stop)
{
    return static_cast<const std::stop_token*>(stop)->stop_requested() ? 1 : 0;
}

} // namespace

MediaResult openInputFile(const std::string& path, MediaInput& input, const DemuxerOptions& demuxerOptions)
{
    if (const MediaResult checked = checkSourceFile(path); failed(checked))
        return checked;
    AVFormatContext* raw = avformat_alloc_context();
    if (!raw)
        return result::kOutOfMemory;
    raw->interrupt_callback = {stopWasRequested, input.stop.get()};
    // A name is a file's name: "concat:a.mp3" or "pipe:0.wav" must not choose
    // one of FFmpeg's protocols, and nothing the file says may reach another.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    for (const auto& [name, value] : demuxerOptions)
        av_dict_set(&options, name.c_str(), value.c_str(), 0);
    const std::string url = "file:" + path;
    // avformat_open_input frees the context itself when it fails.
    const int error = avformat_open_input(&raw, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (error < 0)
        return resultOfOpenError(error);
    input.format.reset(raw);
    return result::kOk;
}

namespace {

MediaResult findAudioStream(MediaInput& input)
{
    const AVCodec* codec = nullptr;
    const int found = av_find_best_stream(input.format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (found == AVERROR_DECODER_NOT_FOUND)
        return result::kNoDecoder;
    if (found < 0)
        return result::kNoAudioStream;
    const AVCodecParameters* parameters = input.format->streams[found]->codecpar;
    if (parameters->sample_rate <= 0 || parameters->ch_layout.nb_channels <= 0)
        return result::kNoAudioStream;
    if (parameters->sample_rate > kHighestSampleRate)
        return result::kUnsupportedRate;
    input.streamIndex = found;
    input.codec = codec;
    // Only the chosen stream's packets are read at all.
    for (unsigned i = 0; i < input.format->nb_streams; ++i)
        if (static_cast<int>(i) != found)
            input.format->streams[i]->discard = AVDISCARD_ALL;
    return result::kOk;
}

} // namespace

bool trimsEndUnreliably(const MediaInput& input)
{
    return std::strcmp(input.format->iformat->name, "ogg") == 0;
}

MediaResult openDecoder(MediaInput& input, bool manualSkip)
{
    CodecContextPtr decoder(avcodec_alloc_context3(input.codec));
    if (!decoder)
        return result::kOutOfMemory;
    if (avcodec_parameters_to_context(decoder.get(), input.stream()->codecpar) < 0)
        return result::kNoDecoder;
    decoder->pkt_timebase = input.stream()->time_base;
    // Files are decoded side by side already; threads within one decoder would only compete.
    decoder->thread_count = 1;
    if (manualSkip)
        decoder->flags2 |= AV_CODEC_FLAG2_SKIP_MANUAL;
    if (const int error = avcodec_open2(decoder.get(), input.codec, nullptr); error < 0)
        return error == AVERROR(ENOMEM) ? result::kOutOfMemory : result::kNoDecoder;
    input.decoder = std::move(decoder);
    return result::kOk;
}

MediaResult openMediaInput(const std::string& path, MediaInput& input, bool withDecoder,
                           std::stop_token stop, const DemuxerOptions& demuxerOptions)
{
    *input.stop = std::move(stop);
    if (const MediaResult opened = openInputFile(path, input, demuxerOptions); failed(opened))
        return opened;
    const int probed = avformat_find_stream_info(input.format.get(), nullptr);
    // A stop cuts the probe short, which leaves streams without a rate: that
    // is the stop, not a file without sound.
    if (input.stop->stop_requested())
        return result::kStopped;
    if (probed < 0)
        return resultOfOpenError(probed);
    if (const MediaResult found = findAudioStream(input); failed(found))
        return found;
    return withDecoder ? openDecoder(input) : result::kOk;
}

} // namespace kestrine

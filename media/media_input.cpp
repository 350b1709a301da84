// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/media_input.h"

#include <cstring>

namespace kestrine {
namespace {

MediaResult openInputFile(const std::string& path, InputFormatPtr& format)
{
    AVFormatContext* raw = nullptr;
    // avformat_open_input frees the context itself when it fails.
    if (const int error = avformat_open_input(&raw, path.c_str(), nullptr, nullptr); error < 0)
        return error == AVERROR(ENOMEM) ? result::kOutOfMemory : result::kCannotOpenSource;
    format.reset(raw);
    if (const int error = avformat_find_stream_info(raw, nullptr); error < 0)
        return error == AVERROR(ENOMEM) ? result::kOutOfMemory : result::kCannotOpenSource;
    return result::kOk;
}

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

MediaResult openMediaInput(const std::string& path, MediaInput& input, bool withDecoder)
{
    if (const MediaResult opened = openInputFile(path, input.format); failed(opened))
        return opened;
    if (const MediaResult found = findAudioStream(input); failed(found))
        return found;
    return withDecoder ? openDecoder(input) : result::kOk;
}

} // namespace kestrine

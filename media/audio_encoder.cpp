// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/audio_encoder.h"

#include <algorithm>
#include <cstring>

namespace kestrine {
namespace {

// Encoders that take any frame size still get frames of a sensible length.
constexpr int kVariableFrameSize = 4096;
constexpr int kMp3Quality = 2; // LAME's -V 2, about 190 kbit/s
constexpr std::int64_t kOpusBitRate = 128000;
constexpr std::int64_t kAacBitRate = 192000;

const char* encoderNameOf(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Flac:
        return "flac";
    case Encoding::Mp3:
        return "libmp3lame";
    case Encoding::Opus:
        return "libopus";
    case Encoding::M4a:
        return "aac";
    case Encoding::Wav:
        break;
    }
    return nullptr;
}

// The encoder's sample formats that 16-bit samples convert into exactly,
// in order of preference.
AVSampleFormat chooseSampleFormat(const AVCodec& codec)
{
    static constexpr AVSampleFormat kConvertible[] = {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P,
                                                      AV_SAMPLE_FMT_FLT, AV_SAMPLE_FMT_FLTP,
                                                      AV_SAMPLE_FMT_S32, AV_SAMPLE_FMT_S32P};
    if (!codec.sample_fmts)
        return AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat wanted : kConvertible)
        for (const AVSampleFormat* offered = codec.sample_fmts; *offered != AV_SAMPLE_FMT_NONE;
             ++offered)
            if (*offered == wanted)
                return wanted;
    return AV_SAMPLE_FMT_NONE;
}

} // namespace

AudioEncoder::AudioEncoder(CodecContextPtr context, PacketHandler handler)
    : context_(std::move(context)), handler_(std::move(handler))
{
}

MediaResult AudioEncoder::open(const OutputFormat& format, bool globalHeader, PacketHandler handler,
                               std::unique_ptr<AudioEncoder>& encoder)
{
    const char* name = encoderNameOf(format.encoding);
    const AVCodec* codec = name ? avcodec_find_encoder_by_name(name) : nullptr;
    if (!codec)
        return result::kNoEncoder;
    const AVSampleFormat sampleFormat = chooseSampleFormat(*codec);
    if (sampleFormat == AV_SAMPLE_FMT_NONE)
        return result::kNoEncoder;
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context)
        return result::kOutOfMemory;
    context->sample_rate = format.sampleRate;
    context->sample_fmt = sampleFormat;
    context->time_base = AVRational{1, format.sampleRate};
    av_channel_layout_default(&context->ch_layout, format.channels);
    switch (format.encoding) {
    case Encoding::Mp3:
        context->flags |= AV_CODEC_FLAG_QSCALE;
        context->global_quality = kMp3Quality * FF_QP2LAMBDA;
        break;
    case Encoding::Opus:
        context->bit_rate = kOpusBitRate;
        break;
    case Encoding::M4a:
        context->bit_rate = kAacBitRate;
        break;
    case Encoding::Flac:
    case Encoding::Wav:
        break;
    }
    if (globalHeader)
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (const int error = avcodec_open2(context.get(), codec, nullptr); error < 0)
        return error == AVERROR(ENOMEM) ? result::kOutOfMemory : error;

    std::unique_ptr<AudioEncoder> made(new AudioEncoder(std::move(context), std::move(handler)));
    made->frame_.reset(av_frame_alloc());
    made->packet_.reset(av_packet_alloc());
    if (!made->frame_ || !made->packet_)
        return result::kOutOfMemory;
    const AVCodecContext& opened = *made->context_;
    made->frameSize_ =
        (opened.codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) || opened.frame_size <= 0
            ? kVariableFrameSize
            : opened.frame_size;
    AVFrame& frame = *made->frame_;
    frame.format = opened.sample_fmt;
    frame.sample_rate = opened.sample_rate;
    frame.nb_samples = made->frameSize_;
    if (av_channel_layout_copy(&frame.ch_layout, &opened.ch_layout) < 0 ||
        av_frame_get_buffer(&frame, 0) < 0)
        return result::kOutOfMemory;
    encoder = std::move(made);
    return result::kOk;
}

void AudioEncoder::convertInto(AVFrame& frame, const std::int16_t* in, int frames) const
{
    const int channels = context_->ch_layout.nb_channels;
    const auto samples = static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels);
    constexpr float kScale = 1.0f / 32768.0f;
    switch (context_->sample_fmt) {
    case AV_SAMPLE_FMT_S16:
        std::memcpy(frame.data[0], in, samples * sizeof(std::int16_t));
        break;
    case AV_SAMPLE_FMT_FLT: {
        auto* out = reinterpret_cast<float*>(frame.data[0]);
        for (std::size_t i = 0; i < samples; ++i)
            out[i] = in[i] * kScale;
        break;
    }
    case AV_SAMPLE_FMT_S32: {
        auto* out = reinterpret_cast<std::int32_t*>(frame.data[0]);
        for (std::size_t i = 0; i < samples; ++i)
            out[i] = static_cast<std::int32_t>(in[i]) * 65536;
        break;
    }
    default:
        for (int channel = 0; channel < channels; ++channel) {
            std::uint8_t* plane = frame.extended_data[channel];
            for (int i = 0; i < frames; ++i) {
                const std::int16_t sample = in[i * channels + channel];
                if (context_->sample_fmt == AV_SAMPLE_FMT_S16P)
                    reinterpret_cast<std::int16_t*>(plane)[i] = sample;
                else if (context_->sample_fmt == AV_SAMPLE_FMT_FLTP)
                    reinterpret_cast<float*>(plane)[i] = sample * kScale;
                else
                    reinterpret_cast<std::int32_t*>(plane)[i] =
                        static_cast<std::int32_t>(sample) * 65536;
            }
        }
        break;
    }
}

MediaResult AudioEncoder::encode(const std::int16_t* interleaved, int frames)
{
    // The encoder may still hold the last frame's buffer: write into a fresh one.
    if (av_frame_make_writable(frame_.get()) < 0)
        return result::kOutOfMemory;
    frame_->nb_samples = std::min(frames, frameSize_);
    convertInto(*frame_, interleaved, frame_->nb_samples);
    frame_->pts = nextPts_;
    nextPts_ += frame_->nb_samples;
    if (const int error = avcodec_send_frame(context_.get(), frame_.get()); error < 0)
        return error;
    return drainPackets();
}

MediaResult AudioEncoder::flush()
{
    if (const int error = avcodec_send_frame(context_.get(), nullptr);
        error < 0 && error != AVERROR_EOF)
        return error;
    return drainPackets();
}

MediaResult AudioEncoder::drainPackets()
{
    for (;;) {
        const int error = avcodec_receive_packet(context_.get(), packet_.get());
        if (error == AVERROR(EAGAIN) || error == AVERROR_EOF)
            return result::kOk;
        if (error < 0)
            return error;
        const MediaResult handled = handler_(*packet_);
        av_packet_unref(packet_.get());
        if (failed(handled))
            return handled;
    }
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/audio_encoder.h"

#include <algorithm>

namespace kestrine {
namespace {

// Encoders that take any frame size still get frames of a sensible length.
constexpr int kVariableFrameSize = 4096;

// The encoder's sample format that 16-bit samples convert into exactly, in
// order of preference; its first otherwise.
AVSampleFormat chooseSampleFormat(const AVCodec& codec)
{
    static constexpr AVSampleFormat kExact[] = {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P,
                                                AV_SAMPLE_FMT_FLT, AV_SAMPLE_FMT_FLTP,
                                                AV_SAMPLE_FMT_S32, AV_SAMPLE_FMT_S32P};
    if (!codec.sample_fmts)
        return AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat wanted : kExact)
        for (const AVSampleFormat* offered = codec.sample_fmts; *offered != AV_SAMPLE_FMT_NONE;
             ++offered)
            if (*offered == wanted)
                return wanted;
    return codec.sample_fmts[0];
}

} // namespace

AudioEncoder::AudioEncoder(CodecContextPtr context, PacketHandler handler)
    : context_(std::move(context)), handler_(std::move(handler))
{
}

MediaResult AudioEncoder::open(const OutputFormat& format, const EncoderSetup& setup,
                               bool globalHeader, PacketHandler handler,
                               std::unique_ptr<AudioEncoder>& encoder)
{
    const AVCodec* codec = setup.empty() ? nullptr : avcodec_find_encoder_by_name(setup.codec);
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
    if (setup.vbrQuality >= 0) {
        context->flags |= AV_CODEC_FLAG_QSCALE;
        context->global_quality = setup.vbrQuality * FF_QP2LAMBDA;
    }
    if (setup.bitRate > 0)
        context->bit_rate = setup.bitRate;
    if (globalHeader)
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (const int error = avcodec_open2(context.get(), codec, nullptr); error < 0)
        return error == AVERROR(ENOMEM) ? result::kOutOfMemory : error;

    std::unique_ptr<AudioEncoder> made(new AudioEncoder(std::move(context), std::move(handler)));
    SwrContext* converter = nullptr;
    if (swr_alloc_set_opts2(&converter, &made->context_->ch_layout, sampleFormat,
                            format.sampleRate, &made->context_->ch_layout, AV_SAMPLE_FMT_S16,
                            format.sampleRate, 0, nullptr) < 0 ||
        !converter)
        return result::kOutOfMemory;
    made->converter_.reset(converter);
    if (const int error = swr_init(converter); error < 0)
        return error == AVERROR(ENOMEM) ? result::kOutOfMemory : error;
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

MediaResult AudioEncoder::encode(const std::int16_t* interleaved, int frames)
{
    // The encoder may still hold the last frame's buffer: write into a fresh one.
    if (av_frame_make_writable(frame_.get()) < 0)
        return result::kOutOfMemory;
    frame_->nb_samples = std::min(frames, frameSize_);
    // At one rate the converter holds nothing back: all that goes in comes out.
    const auto* in = reinterpret_cast<const std::uint8_t*>(interleaved);
    const int converted = swr_convert(converter_.get(), frame_->extended_data, frame_->nb_samples,
                                      &in, frame_->nb_samples);
    if (converted != frame_->nb_samples)
        return converted < 0 ? converted : result::kUnexpected;
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

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/audio_encoder.h"

#include <algorithm>

namespace kestrine {
namespace {

// Encoders that take any frame size still get frames of a sensible length.
constexpr int kVariableFrameSize = 4096;

// The encoder's sample format that the render's samples convert into
// exactly, in order of preference; its first otherwise.
AVSampleFormat chooseSampleFormat(const AVCodec& codec, int bitsPerSample)
{
    static constexpr AVSampleFormat kExact16[] = {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P,
                                                  AV_SAMPLE_FMT_FLT, AV_SAMPLE_FMT_FLTP,
                                                  AV_SAMPLE_FMT_S32, AV_SAMPLE_FMT_S32P};
    static constexpr AVSampleFormat kExact24[] = {AV_SAMPLE_FMT_S32, AV_SAMPLE_FMT_S32P,
                                                  AV_SAMPLE_FMT_FLT, AV_SAMPLE_FMT_FLTP,
                                                  AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P};
    if (!codec.sample_fmts)
        return bitsPerSample == 24 ? AV_SAMPLE_FMT_S32 : AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat wanted : bitsPerSample == 24 ? kExact24 : kExact16)
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
    const AVSampleFormat sampleFormat = chooseSampleFormat(*codec, format.bitsPerSample);
    if (sampleFormat == AV_SAMPLE_FMT_NONE)
        return result::kNoEncoder;
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context)
        return result::kOutOfMemory;
    context->sample_rate = format.sampleRate;
    context->sample_fmt = sampleFormat;
    context->time_base = AVRational{1, format.sampleRate};
    av_channel_layout_default(&context->ch_layout, format.channels);
    if (format.bitsPerSample == 24)
        context->bits_per_raw_sample = 24;
    std::int64_t bitRate = setup.bitRate;
    int vbrQuality = setup.vbrQuality;
    if (format.bitRateKbps > 0) {
        bitRate = std::int64_t{format.bitRateKbps} * 1000;
        vbrQuality = -1;
    } else if (format.vbrQuality >= 0 && vbrQuality >= 0) {
        vbrQuality = format.vbrQuality;
    }
    if (vbrQuality >= 0) {
        context->flags |= AV_CODEC_FLAG_QSCALE;
        context->global_quality = vbrQuality * FF_QP2LAMBDA;
    }
    if (bitRate > 0)
        context->bit_rate = bitRate;
    if (globalHeader)
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (const int error = avcodec_open2(context.get(), codec, nullptr); error < 0)
        return error == AVERROR(ENOMEM) ? result::kOutOfMemory : error;

    std::unique_ptr<AudioEncoder> made(new AudioEncoder(std::move(context), std::move(handler)));
    SwrContext* converter = nullptr;
    made->packed24_ = format.bitsPerSample == 24;
    if (swr_alloc_set_opts2(&converter, &made->context_->ch_layout, sampleFormat, format.sampleRate,
                            &made->context_->ch_layout, made->packed24_ ? AV_SAMPLE_FMT_S32 : AV_SAMPLE_FMT_S16,
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

MediaResult AudioEncoder::encode(const std::uint8_t* interleaved, int frames)
{
    // The encoder may still hold the last frame's buffer: write into a fresh one.
    if (av_frame_make_writable(frame_.get()) < 0)
        return result::kOutOfMemory;
    frame_->nb_samples = std::min(frames, frameSize_);
    const std::uint8_t* in = interleaved;
    if (packed24_) {
        // No converter takes packed 24-bit samples: each goes to the top of 32 bits.
        const auto count = static_cast<std::size_t>(frame_->nb_samples) *
                           static_cast<std::size_t>(context_->ch_layout.nb_channels);
        unpacked_.resize(count);
        for (std::size_t i = 0; i < count; ++i, interleaved += 3)
            unpacked_[i] = static_cast<std::int32_t>(std::uint32_t{interleaved[0]} << 8 |
                                                     std::uint32_t{interleaved[1]} << 16 |
                                                     std::uint32_t{interleaved[2]} << 24);
        in = reinterpret_cast<const std::uint8_t*>(unpacked_.data());
    }
    // At one rate the converter holds nothing back: all that goes in comes out.
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

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/audio_decoder.h"

#include "media/media_input.h"

#include <algorithm>

namespace kestrine {
namespace {

// A damaged frame here and there is skipped; this many in a row mean the
// file is damaged throughout.
constexpr int kMaxConsecutiveDecodeErrors = 32;
// A packet claiming more than this of sound is no packet of a real file.
constexpr int kMaxLostSeconds = 1;

} // namespace

int leadingSkipOf(const AVFrame& frame)
{
    const AVFrameSideData* side = av_frame_get_side_data(&frame, AV_FRAME_DATA_SKIP_SAMPLES);
    if (!side || side->size < 4)
        return 0;
    return static_cast<int>(std::min<std::uint32_t>(AV_RL32(side->data), INT32_MAX));
}

MediaResult AudioDecoder::checkDecodeResult(int error)
{
    if (error >= 0 || error == AVERROR(EAGAIN) || error == AVERROR_EOF)
        return result::kOk;
    if (error == AVERROR(ENOMEM))
        return result::kOutOfMemory;
    ++decodeErrors_;
    ++consecutiveErrors_;
    return consecutiveErrors_ > kMaxConsecutiveDecodeErrors ? result::kDecodeFailed : result::kOk;
}

// A damaged packet's sound becomes silence of its length, as the container
// counts it: the file keeps the length it measures at, and what follows the
// damage keeps its place.
MediaResult AudioDecoder::fillLostPacket(const FrameSink& sink, bool& sinkIsFull)
{
    AVCodecContext* decoder = input_.decoder.get();
    const std::int64_t lost = lostSamples_;
    lostSamples_ = 0;
    if (lost <= 0 || decoder->sample_rate <= 0 || decoder->ch_layout.nb_channels <= 0 ||
        decoder->sample_fmt == AV_SAMPLE_FMT_NONE)
        return result::kOk;
    FramePtr silence(av_frame_alloc());
    if (!silence)
        return result::kOutOfMemory;
    silence->nb_samples = static_cast<int>(std::min<std::int64_t>(lost, std::int64_t{kMaxLostSeconds} * decoder->sample_rate));
    silence->format = decoder->sample_fmt;
    silence->sample_rate = decoder->sample_rate;
    if (av_channel_layout_copy(&silence->ch_layout, &decoder->ch_layout) < 0 ||
        av_frame_get_buffer(silence.get(), 0) < 0)
        return result::kOutOfMemory;
    av_samples_set_silence(silence->extended_data, 0, silence->nb_samples, silence->ch_layout.nb_channels,
                           decoder->sample_fmt);
    framesDecoded_ += silence->nb_samples;
    const MediaResult taken = sink(*silence);
    sinkIsFull = taken == result::kFalse;
    return failed(taken) ? taken : result::kOk;
}

MediaResult AudioDecoder::receiveFrames(const FrameSink& sink, bool& sinkIsFull)
{
    for (;;) {
        const int error = avcodec_receive_frame(input_.decoder.get(), frame_.get());
        if (error == AVERROR(EAGAIN)) // it wants the next packet
            return result::kOk;
        if (error == AVERROR_EOF) // drained
            return result::kOk;
        if (error < 0) {
            if (const MediaResult checked = checkDecodeResult(error); failed(checked))
                return checked;
            if (const MediaResult filled = fillLostPacket(sink, sinkIsFull); failed(filled) || sinkIsFull)
                return filled;
            continue;
        }
        consecutiveErrors_ = 0;
        lostSamples_ = 0;
        framesDecoded_ += frame_->nb_samples;
        soundFrames_ += frame_->nb_samples;
        const MediaResult taken = sink(*frame_);
        av_frame_unref(frame_.get());
        if (failed(taken))
            return taken;
        if (taken == result::kFalse) {
            sinkIsFull = true;
            return result::kOk;
        }
    }
}

MediaResult AudioDecoder::decode(const FrameSink& sink, std::stop_token stop)
{
    PacketPtr packet(av_packet_alloc());
    frame_.reset(av_frame_alloc());
    if (!packet || !frame_)
        return result::kOutOfMemory;
    AVFormatContext* format = input_.format.get();
    AVCodecContext* decoder = input_.decoder.get();
    bool sinkIsFull = false;
    for (;;) {
        if (stop.stop_requested())
            return result::kStopped;
        const int error = reader_ ? reader_(packet.get()) : av_read_frame(format, packet.get());
        if (error == AVERROR_EXIT)
            return result::kStopped;
        if (error == AVERROR(ENOMEM))
            return result::kOutOfMemory;
        // A read the system fails is an error; data the demuxer cannot follow
        // past ends the sound as the end of the file does: what was read plays.
        if (error == AVERROR(EIO))
            return result::kDecodeFailed;
        if (error < 0)
            break;
        if (packet->stream_index != input_.streamIndex) {
            av_packet_unref(packet.get());
            continue;
        }
        lostSamples_ = packet->duration > 0
                           ? av_rescale_q(packet->duration, input_.stream()->time_base,
                                          AVRational{1, std::max(decoder->sample_rate, 1)})
                           : 0;
        const int sent = avcodec_send_packet(decoder, packet.get());
        av_packet_unref(packet.get());
        if (const MediaResult checked = checkDecodeResult(sent); failed(checked))
            return checked;
        if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_EOF) {
            if (const MediaResult filled = fillLostPacket(sink, sinkIsFull); failed(filled) || sinkIsFull)
                return filled;
        }
        if (const MediaResult received = receiveFrames(sink, sinkIsFull); failed(received))
            return received;
        if (sinkIsFull)
            return result::kOk;
    }
    // Draining gives the frames a decoder holds back, as its delay.
    if (const MediaResult sent = checkDecodeResult(avcodec_send_packet(decoder, nullptr)); failed(sent))
        return sent;
    if (const MediaResult received = receiveFrames(sink, sinkIsFull); failed(received))
        return received;
    if (soundFrames_ == 0 && decodeErrors_ > 0)
        return result::kDecodeFailed;
    return result::kOk;
}

} // namespace kestrine

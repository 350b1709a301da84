// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/container_writer.h"
#include "media/ffmpeg.h"
#include "media/render_plan.h"
#include "output/framework/media_result.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kestrine {

// FFmpeg's encoder for one output encoding, fed with the render's
// interleaved frames (16-bit, or packed 24-bit) in order. Every packet it makes goes to the function
// given, with timestamps in 1/rate.
class AudioEncoder {
public:
    using PacketHandler = std::function<MediaResult(AVPacket& packet)>;

    // The encoder `setup` names, opened for `format`'s rate, channels and
    // bits; the format's bit rate or quality, where it names one, goes over
    // the setup's own.
    // `globalHeader`: the container wants the codec's setup in extradata
    // rather than in the stream. result::kNoEncoder when this FFmpeg lacks
    // the encoder.
    static MediaResult open(const OutputFormat& format, const EncoderSetup& setup,
                            bool globalHeader, PacketHandler handler,
                            std::unique_ptr<AudioEncoder>& encoder);

    const AVCodecContext& context() const { return *context_; }
    // The frames one call of encode takes at most; only the last call may take fewer.
    int frameSize() const { return frameSize_; }

    MediaResult encode(const std::uint8_t* interleaved, int frames);
    // Encodes what the encoder still holds; the last packets come out here.
    MediaResult flush();

private:
    AudioEncoder(CodecContextPtr context, PacketHandler handler);
    MediaResult drainPackets();

    CodecContextPtr context_;
    // From the render's interleaved samples to the encoder's format.
    ResamplerPtr converter_;
    bool packed24_ = false;
    std::vector<std::int32_t> unpacked_; // packed 24-bit samples widened for the converter
    PacketHandler handler_;
    FramePtr frame_;
    PacketPtr packet_;
    int frameSize_ = 0;
    std::int64_t nextPts_ = 0;
};

} // namespace kestrine

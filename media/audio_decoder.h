// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/ffmpeg.h"
#include "output/framework/media_result.h"

#include <cstdint>
#include <functional>
#include <stop_token>
#include <utility>

namespace kestrine {

struct MediaInput;

// Told each decoded frame in order. kFalse: no more frames are wanted.
using FrameSink = std::function<MediaResult(const AVFrame& frame)>;
// Reads the next packet as av_read_frame does, with its return codes.
using PacketReader = std::function<int(AVPacket* packet)>;

// The one send/receive/drain loop over a file's audio stream, shared by
// measuring and rendering so that both read a file the same way. A damaged
// packet here and there becomes silence of its length; a file damaged
// throughout, or one that gives errors and not one frame, is kDecodeFailed,
// as is a read the system fails (EIO); data the demuxer cannot follow past
// ends the sound, as the end of the file does.
// The encoder delay a frame carries when the decoder leaves trimming to the
// caller (openDecoder's manualSkip); its end padding is left to the caller's
// range, which ends where the file's sound does.
int leadingSkipOf(const AVFrame& frame);

class AudioDecoder {
public:
    explicit AudioDecoder(MediaInput& input) : input_(input) {}
    // Takes the packets from `reader` instead of straight from the file.
    AudioDecoder(MediaInput& input, PacketReader reader) : input_(input), reader_(std::move(reader)) {}

    // Decodes the input, whose decoder must be open, into `sink` until the
    // sound ends or the sink wants no more. result::kStopped when `stop` is
    // requested first.
    MediaResult decode(const FrameSink& sink, std::stop_token stop = {});

    // Frames (samples per channel) given to the sink so far, silence for
    // damage included, before any trimming of ours.
    std::int64_t framesDecoded() const { return framesDecoded_; }

private:
    MediaResult checkDecodeResult(int error);
    MediaResult receiveFrames(const FrameSink& sink, bool& sinkIsFull);
    MediaResult fillLostPacket(const FrameSink& sink, bool& sinkIsFull);

    MediaInput& input_;
    PacketReader reader_;
    FramePtr frame_;
    std::int64_t framesDecoded_ = 0;
    std::int64_t soundFrames_ = 0; // decoded, not filled in for damage
    std::int64_t lostSamples_ = 0; // of the packet last sent, until it gives a frame
    int decodeErrors_ = 0;
    int consecutiveErrors_ = 0;
};

} // namespace kestrine

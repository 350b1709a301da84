// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/audio_encoder.h"
#include "media/ffmpeg.h"
#include "output/framework/media_result.h"

#include <cstdint>
#include <vector>

namespace kestrine {

// One stretch of the join, encoded by an encoder of its own.
struct EncodedStretch {
    std::int64_t first = 0; // the join's frames it stands for: [first, end)
    std::int64_t end = 0;
    std::int64_t encodedFrom = 0; // the first frame its encoder was given
    bool last = false;            // it ends the join
    int frameSize = 0;            // the encoder's: every frame's but the join's last
    std::vector<std::uint8_t> sound; // the render's frames from encodedFrom on
    std::vector<PacketPtr> packets;  // its encoder's, in order, timestamps from encodedFrom
};

// How one encoder's work is cut into stretches that encoders on other
// threads make apart, and how their packets become the one stream that a
// single encoder would have made: one per codec whose stretches join
// without a seam.
class StretchSplicer {
public:
    virtual ~StretchSplicer() = default;

    // Before the first stretch: the encoder that wrote the file's header.
    virtual void start(const AVCodecContext& /*codec*/) {}
    // The join's frames per stretch, a whole number of the encoder's
    // `frameSize`, so that at most `held` stretches of `bytesPerFrame`
    // frames stay within `bytes`.
    std::int64_t stretchFrames(int frameSize, int bytesPerFrame, int held, std::int64_t bytes) const;
    // Whether one encoder may go on from one stretch to any other, unflushed:
    // a codec without delay whose frames stand alone.
    virtual bool reusesEncoders() const { return false; }
    // Frames encoded before a stretch and after it, where the join has
    // them, whose packets are dropped again.
    virtual std::int64_t leadIn(int /*frameSize*/) const { return 0; }
    virtual std::int64_t leadOut(int /*frameSize*/) const { return 0; }
    // The longest stretch worth its encoder's opening.
    virtual std::int64_t longestStretch() const = 0;
    // About the memory one open encoder takes.
    virtual std::int64_t encoderBytes() const = 0;

    // The join's sound, in order, as stretches are cut from it.
    virtual void takeSound(const std::uint8_t* /*frames*/, std::int64_t /*count*/) {}
    // Hands the packets that the stretch stands for to `write`, in order.
    virtual MediaResult splice(EncodedStretch& stretch, const AudioEncoder::PacketHandler& write) = 0;
    // After the last stretch: the packets still held.
    virtual MediaResult finish(const AudioEncoder::PacketHandler& write) = 0;
};

} // namespace kestrine

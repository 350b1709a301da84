// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/encoding/stretch_splicer.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kestrine {

// FLAC's frames are independent: a stretch of whole blocks encodes to the
// frames one encoder makes of it, but for their numbers, which count from
// the stretch's start. Each frame gets its number in the join, and both
// checksums again. The encoders' own STREAMINFO blocks know one stretch
// each, or none when an encoder goes on to another stretch: the join's, with
// its sample count, its frame sizes and the MD5 sum of all its sound, goes
// with the last frame, where FFmpeg's encoder gives its own.
class FlacStretchSplicer final : public StretchSplicer {
public:
    // `bytesPerSample` of the render's frames, which FLAC's MD5 sum takes as they are.
    explicit FlacStretchSplicer(int bytesPerSample);
    ~FlacStretchSplicer() override;

    void start(const AVCodecContext& codec) override;
    std::int64_t longestStretch() const override;
    // FFmpeg's FLAC encoder keeps room for eight channels of its longest block.
    std::int64_t encoderBytes() const override { return std::int64_t{7} << 20; }
    bool reusesEncoders() const override { return true; }
    void takeSound(const std::uint8_t* frames, std::int64_t count) override;
    MediaResult splice(EncodedStretch& stretch, const AudioEncoder::PacketHandler& write) override;
    MediaResult finish(const AudioEncoder::PacketHandler& write) override;

private:
    MediaResult writeHeld(const AudioEncoder::PacketHandler& write);

    int bytesPerFrame_ = 0;
    struct Md5Deleter {
        void operator()(AVMD5* md5) const { av_free(md5); }
    };
    std::unique_ptr<AVMD5, Md5Deleter> md5_;
    std::int64_t soundFrames_ = 0;
    std::vector<std::uint8_t> streamInfo_; // the header's, for the fields every encoder agrees on
    PacketPtr held_;                       // the last frame so far
    std::int64_t smallestFrame_ = 0;
    std::int64_t largestFrame_ = 0;
};

} // namespace kestrine

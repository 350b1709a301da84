// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/copying/mp3_reservoir_packer.h"
#include "media/encoding/stretch_splicer.h"

#include <cstdint>
#include <deque>
#include <memory>

namespace kestrine {

// LAME's stretches start at whole frames of the join, each encoded from a
// few frames earlier, so that its first kept frame finds its encoder as
// settled as one that ran from the start, and on a few frames past its end,
// so that its last ones are not encoded as an ending. With the same delay
// every encoder's frames fall on the frames one encoder makes: the splice
// drops the lead-in and lead-out frames and lays the kept frames' main data
// out anew where the bit reservoir needs it (Mp3ReservoirPacker). The first
// frame carries the join's delay and the last its padding, as one encoder's
// would, for the one Xing/LAME tag that FFmpeg's muxer writes.
class Mp3StretchSplicer final : public StretchSplicer {
public:
    Mp3StretchSplicer();

    std::int64_t longestStretch() const override;
    std::int64_t encoderBytes() const override { return std::int64_t{2} << 20; }
    std::int64_t leadIn(int frameSize) const override;
    std::int64_t leadOut(int frameSize) const override;
    MediaResult splice(EncodedStretch& stretch, const AudioEncoder::PacketHandler& write) override;
    MediaResult finish(const AudioEncoder::PacketHandler& write) override;

private:
    MediaResult writeFrame(const std::uint8_t* bytes, int size);

    Mp3ReservoirPacker packer_;
    std::deque<PacketPtr> waiting_; // kept packets whose frames the packer still holds
    const AudioEncoder::PacketHandler* write_ = nullptr;
};

} // namespace kestrine

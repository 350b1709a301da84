// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/copying/flac_frames.h"
#include "output/framework/media_result.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace kestrine {

// Reads up to `size` bytes into `into`: how many it read, 0 at the end of
// the file, or a negative result.
using ByteReader = std::function<int(std::uint8_t* into, int size)>;

// One frame as the scanner found it, valid until the next call.
struct ScannedFlacFrame {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    FlacFrameHeader header;
};

// Walks the frames of a native FLAC file from its first byte, with a
// checksum pass over each byte and nothing more. A FLAC frame does not say
// how long it is, so its end is where the next frame's header starts: a
// sync code with a valid CRC-8, the stream's rate and sample size, the
// number that follows this frame's, and the CRC-16 of the bytes before it
// matching. FFmpeg's parser finds the same ends, at several times the cost.
class FlacFrameScanner {
public:
    // `buffer` holds what is read; passed in, it serves one file after another
    // without being allocated again.
    FlacFrameScanner(ByteReader read, std::vector<std::uint8_t>& buffer);

    // The next frame: result::kOk with `frame` set, result::kFalse after the
    // last frame, AVERROR_INVALIDDATA when what follows is no whole frame
    // (a damaged or cut frame, or bytes that are no FLAC), or the reader's
    // failure.
    MediaResult next(ScannedFlacFrame& frame);

private:
    MediaResult skipPreamble();
    // Reads more: false at the end of the file; `failure` holds a read error.
    bool fill();
    bool consistentNext(std::size_t at, const FlacFrameHeader& current) const;

    ByteReader read_;
    std::vector<std::uint8_t>& buffer_;
    std::size_t begin_ = 0; // the current frame's first byte in buffer_
    std::size_t end_ = 0;   // the end of what was read
    bool atEnd_ = false;
    bool started_ = false;
    MediaResult failure_ = result::kOk;
    // The first frame's fields that every frame of the stream shares.
    std::uint8_t blocking_ = 0;
    std::uint8_t rateCode_ = 0;
    std::uint8_t sampleSizeCode_ = 0;
    int channels_ = 0;
};

} // namespace kestrine

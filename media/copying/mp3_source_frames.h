// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/copying/mp3_frame_header.h"
#include "output/framework/media_result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrine {

// One frame of an MP3 file: where it lies and what its header and side
// information say.
struct Mp3Frame {
    std::uint64_t offset = 0; // in the file
    Mp3FrameHeader header;
    Mp3MainData mainData;
};

// What keeps a file's frames from being copied into an exact join.
enum class Mp3CopyObstacle {
    None,
    NotLayer3,    // no Layer III frame where the sound starts
    FreeFormat,   // frames whose length no header gives
    NoGaplessTag, // no Xing/Info frame with a LAME tag: its delay would be a guess
    Mixed,        // frames of differing rates, versions or channel counts
    Damaged,      // a frame cut short, lost sync, main data out of reach, a count that disagrees
};

// The frames of an MP3 file and what its LAME tag says: the encoder's delay
// (samples before the sound, besides the decoder's own 529) and padding
// (after it), both 12 bits.
struct Mp3SourceFrames {
    std::vector<Mp3Frame> frames; // the sound's frames; the tag's frame is not one
    int sampleRate = 0;
    int channels = 0;
    int samplesPerFrame = 0;
    int encoderDelay = 0;
    int padding = 0;
    char encoder[10] = {}; // the tag's short encoder name, as written
    Mp3CopyObstacle obstacle = Mp3CopyObstacle::NotLayer3;
    std::uint64_t obstacleOffset = 0; // where a damage was found

    // The samples a decoder that honours the tag gives.
    std::int64_t samples() const
    {
        return static_cast<std::int64_t>(frames.size()) * samplesPerFrame - encoderDelay - padding;
    }
};

// The MPEG decoder's own delay, which LAME's tag does not count.
inline constexpr int kMp3DecoderDelay = 529;

// Reads the frames of `size` bytes of an MP3 file (ID3v2 tags before them,
// ID3v1 and APE tags after them are passed over). What stands in the way of
// copying them is told in `source.obstacle`, never as a failure.
void scanMp3Frames(const std::uint8_t* bytes, std::size_t size, Mp3SourceFrames& source);

// The same for the file at `path`; a failure only when it cannot be read.
MediaResult readMp3SourceFrames(const std::string& path, Mp3SourceFrames& source);

// Why a file's frames cannot be copied, as a short phrase after the file's name.
const char* mp3CopyObstacleText(Mp3CopyObstacle obstacle);

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrine {

// What the four bytes that open an MPEG audio Layer III frame say.
struct Mp3FrameHeader {
    enum class Version { Mpeg1, Mpeg2, Mpeg25 };
    Version version = Version::Mpeg1;
    int bitRateIndex = 0;
    int bitRate = 0; // bits per second
    int sampleRate = 0;
    bool padded = false;
    bool protectedByCrc = false;
    int channelMode = 0; // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    int channels = 2;
    int frameBytes = 0;
    int samplesPerFrame = 0;
    int sideInfoBytes = 0;

    // The bytes of main data the frame itself holds, after its header,
    // checksum and side information.
    int slotBytes() const { return frameBytes - 4 - (protectedByCrc ? 2 : 0) - sideInfoBytes; }
    int sideInfoOffset() const { return 4 + (protectedByCrc ? 2 : 0); }
};

// Reads `bytes` (at least four) as a Layer III frame header. False for
// anything else: no sync, another layer, a reserved rate or emphasis, and
// free format, whose frame length no header gives.
bool parseMp3FrameHeader(const std::uint8_t* bytes, Mp3FrameHeader& header);

// The header of a frame like `header` but of another bit rate (an index of
// its version's table, 1 to 14), without padding; its length in frameBytes.
bool withMp3BitRateIndex(const Mp3FrameHeader& header, int bitRateIndex, Mp3FrameHeader& changed);
// Writes `header`'s four bytes, keeping the private, copyright, original and
// emphasis bits of `original`.
void writeMp3FrameHeader(const Mp3FrameHeader& header, const std::uint8_t* original, std::uint8_t* bytes);

// What a frame's side information says about where its main data lies.
struct Mp3MainData {
    int begin = 0; // main_data_begin: bytes back from the frame's own slot
    int bytes = 0; // the part2_3 lengths of every granule and channel, in whole bytes
};

// Reads the side information of the whole frame at `frame`.
Mp3MainData mp3MainDataOf(const Mp3FrameHeader& header, const std::uint8_t* frame);
// Sets main_data_begin in the side information of the frame at `frame`.
void setMp3MainDataBegin(const Mp3FrameHeader& header, std::uint8_t* frame, int begin);

// The CRC-16 of a protected frame: over the header's last two bytes and the
// side information.
std::uint16_t mp3FrameCrc(const Mp3FrameHeader& header, const std::uint8_t* frame);
// Puts the right CRC-16 into a protected frame; nothing for another.
void updateMp3FrameCrc(const Mp3FrameHeader& header, std::uint8_t* frame);

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrine {

// What a FLAC frame's header says, as far as moving the frame to another
// place in another stream needs.
struct FlacFrameHeader {
    int blockSize = 0;           // samples per channel
    bool variableBlockSize = false;
    std::uint64_t number = 0;    // the frame's number, or its first sample's
    std::size_t numberAt = 0;    // where the coded number starts
    std::size_t numberBytes = 0;
    std::size_t headerBytes = 0; // up to and with the CRC-8
};

// FLAC's header checksum (CRC-8, polynomial x^8 + x^2 + x + 1).
std::uint8_t flacCrc8(const std::uint8_t* data, std::size_t size);
// FLAC's frame checksum (CRC-16, polynomial x^16 + x^15 + x^2 + 1).
std::uint16_t flacCrc16(const std::uint8_t* data, std::size_t size);

// Reads the header of the frame in `data`, which holds the whole frame and
// nothing after it. False when it is no FLAC frame or either checksum fails:
// a damaged frame must not travel into a file that claims to be whole.
bool readFlacFrame(const std::uint8_t* data, std::size_t size, FlacFrameHeader& header);

// The frame in `data`, read as `header`, made a frame of a variable block
// size stream that starts at sample `firstSample`, with both checksums made
// again. The sound is left byte for byte as it was.
std::vector<std::uint8_t> renumberFlacFrame(const std::uint8_t* data, std::size_t size,
                                            const FlacFrameHeader& header, std::uint64_t firstSample);

// The frame in `data`, read as `header`, given `number` in its own stream's
// kind of numbering (its frame's number in a fixed block size stream, its
// first sample's in a variable one), with both checksums made again.
std::vector<std::uint8_t> withFlacFrameNumber(const std::uint8_t* data, std::size_t size,
                                              const FlacFrameHeader& header, std::uint64_t number);

} // namespace kestrine

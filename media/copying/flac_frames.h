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
// The checksum `crc` of some bytes carried on over the `size` bytes that
// follow them: flacCrc16Update(flacCrc16(a), b) is the checksum of a then b.
std::uint16_t flacCrc16Update(std::uint16_t crc, const std::uint8_t* data, std::size_t size);
// The checksum of a frame, `whole`, once its first bytes, whose own checksum
// is `before`, are replaced by bytes of checksum `after` (of any length),
// the `following` bytes behind them unchanged. The checksum is linear, so
// the bytes behind need not be read again.
std::uint16_t flacCrc16Replacing(std::uint16_t whole, std::uint16_t before, std::uint16_t after,
                                 std::uint64_t following);

// Reads the header of the frame in `data`, which holds the whole frame and
// nothing after it. False when it is no FLAC frame or either checksum fails:
// a damaged frame must not travel into a file that claims to be whole.
bool readFlacFrame(const std::uint8_t* data, std::size_t size, FlacFrameHeader& header);

// Reads the frame header at the start of `data`, checked by its CRC-8; the
// frame's body and CRC-16 are not looked at.
bool readFlacFrameHeader(const std::uint8_t* data, std::size_t size, FlacFrameHeader& header);

// The header of `header`'s frame (`data` holds it), made the header of a
// frame of a variable block size stream that starts at sample
// `firstSample`, with its CRC-8 made again. Empty when the number does not fit.
std::vector<std::uint8_t> renumberedFlacHeader(const std::uint8_t* data, const FlacFrameHeader& header,
                                               std::uint64_t firstSample);

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

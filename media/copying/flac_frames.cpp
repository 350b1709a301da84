// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/flac_frames.h"

#include <array>

namespace kestrine {
namespace {

constexpr std::uint8_t kSyncFirst = 0xff;
constexpr std::uint8_t kSyncSecondMask = 0xfe; // 14 sync bits, then a reserved 0
constexpr std::uint8_t kSyncSecond = 0xf8;
constexpr std::uint8_t kVariableBlockSizeBit = 0x01;
constexpr std::size_t kFixedHeaderBytes = 4;
constexpr std::size_t kCrc16Bytes = 2;
// A coded number holds at most 36 bits, in at most seven bytes.
constexpr std::uint64_t kLargestSampleNumber = (std::uint64_t{1} << 36) - 1;

constexpr std::array<std::uint8_t, 256> makeCrc8Table()
{
    std::array<std::uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        std::uint8_t crc = static_cast<std::uint8_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
        table[static_cast<std::size_t>(i)] = crc;
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> makeCrc16Table()
{
    std::array<std::uint16_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        auto crc = static_cast<std::uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x8005 : crc << 1);
        table[static_cast<std::size_t>(i)] = crc;
    }
    return table;
}

// Slices of the CRC-16 table: slice k holds the checksum of a byte followed
// by k zero bytes, so that eight bytes are taken in one step, each looked up
// independently, instead of one at a time through a chain of dependent lookups.
constexpr int kCrc16Slices = 8;

constexpr std::array<std::array<std::uint16_t, 256>, kCrc16Slices> makeCrc16Slices()
{
    std::array<std::array<std::uint16_t, 256>, kCrc16Slices> slices{};
    slices[0] = makeCrc16Table();
    for (std::size_t k = 1; k < kCrc16Slices; ++k)
        for (std::size_t b = 0; b < 256; ++b) {
            const std::uint16_t previous = slices[k - 1][b];
            slices[k][b] = static_cast<std::uint16_t>((previous << 8) ^ slices[0][previous >> 8]);
        }
    return slices;
}

constexpr std::array<std::uint8_t, 256> kCrc8Table = makeCrc8Table();
constexpr std::array<std::array<std::uint16_t, 256>, kCrc16Slices> kCrc16Table = makeCrc16Slices();

// a times b modulo the CRC-16 polynomial.
std::uint16_t crc16Multiply(std::uint16_t a, std::uint16_t b)
{
    std::uint16_t product = 0;
    for (int bit = 15; bit >= 0; --bit) {
        product = static_cast<std::uint16_t>((product & 0x8000) ? (product << 1) ^ 0x8005 : product << 1);
        if ((b >> bit) & 1)
            product ^= a;
    }
    return product;
}

// x to the power of 8 * bytes, modulo the CRC-16 polynomial: what a
// checksum is multiplied by when that many bytes follow.
std::uint16_t crc16ShiftBy(std::uint64_t bytes)
{
    std::uint16_t result = 1;
    std::uint16_t power = 0x0100; // x^8
    for (; bytes > 0; bytes >>= 1) {
        if (bytes & 1)
            result = crc16Multiply(result, power);
        power = crc16Multiply(power, power);
    }
    return result;
}

// The number coded as UTF-8 once was, extended to 36 bits.
std::vector<std::uint8_t> codeNumber(std::uint64_t value)
{
    if (value < 0x80)
        return {static_cast<std::uint8_t>(value)};
    int continuation = 1;
    while (continuation < 6 && value >= (std::uint64_t{1} << (6 - continuation + 6 * continuation)))
        ++continuation;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(continuation) + 1);
    for (int i = continuation; i >= 1; --i) {
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(0x80 | (value & 0x3f));
        value >>= 6;
    }
    // The leading byte: as many ones as bytes, a zero, then the highest bits.
    const auto marker = static_cast<std::uint8_t>(0xff00 >> (continuation + 1));
    bytes[0] = static_cast<std::uint8_t>(marker | value);
    return bytes;
}

// Reads a coded number at `data`; false when it is not one.
bool readNumber(const std::uint8_t* data, std::size_t size, std::uint64_t& value, std::size_t& length)
{
    if (size == 0)
        return false;
    const std::uint8_t first = data[0];
    if (first < 0x80) {
        value = first;
        length = 1;
        return true;
    }
    int continuation = 0;
    while (continuation < 7 && (first & (0x80 >> continuation)))
        ++continuation;
    // 10xxxxxx is a continuation byte, 0xff no leading byte at all.
    if (continuation < 2 || continuation > 7)
        return false;
    --continuation;
    if (size < static_cast<std::size_t>(continuation) + 1)
        return false;
    value = continuation == 6 ? 0 : (first & (0x7f >> (continuation + 1)));
    for (int i = 1; i <= continuation; ++i) {
        const std::uint8_t next = data[i];
        if ((next & 0xc0) != 0x80)
            return false;
        value = value << 6 | (next & 0x3f);
    }
    length = static_cast<std::size_t>(continuation) + 1;
    return true;
}

} // namespace

std::uint8_t flacCrc8(const std::uint8_t* data, std::size_t size)
{
    std::uint8_t crc = 0;
    for (std::size_t i = 0; i < size; ++i)
        crc = kCrc8Table[crc ^ data[i]];
    return crc;
}

std::uint16_t flacCrc16(const std::uint8_t* data, std::size_t size)
{
    return flacCrc16Update(0, data, size);
}

std::uint16_t flacCrc16Update(std::uint16_t crc, const std::uint8_t* data, std::size_t size)
{
    const auto& t = kCrc16Table;
    for (; size >= kCrc16Slices; size -= kCrc16Slices, data += kCrc16Slices)
        crc = t[7][data[0] ^ (crc >> 8)] ^ t[6][data[1] ^ (crc & 0xff)] ^ t[5][data[2]] ^ t[4][data[3]] ^
              t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
    for (; size > 0; --size, ++data)
        crc = static_cast<std::uint16_t>((crc << 8) ^ t[0][(crc >> 8) ^ *data]);
    return crc;
}

std::uint16_t flacCrc16Replacing(std::uint16_t whole, std::uint16_t before, std::uint16_t after,
                                 std::uint64_t following)
{
    // crc(head, rest) = crc(head) * x^(8 * |rest|) + crc(rest), modulo the polynomial.
    return whole ^ crc16Multiply(static_cast<std::uint16_t>(before ^ after), crc16ShiftBy(following));
}

bool readFlacFrame(const std::uint8_t* data, std::size_t size, FlacFrameHeader& header)
{
    if (size < kFixedHeaderBytes + 1 + 1 + kCrc16Bytes || !readFlacFrameHeader(data, size - kCrc16Bytes, header))
        return false;
    const std::uint16_t stored = static_cast<std::uint16_t>(data[size - 2] << 8 | data[size - 1]);
    return flacCrc16(data, size - kCrc16Bytes) == stored;
}

bool readFlacFrameHeader(const std::uint8_t* data, std::size_t size, FlacFrameHeader& header)
{
    if (size < kFixedHeaderBytes + 1 + 1 || data[0] != kSyncFirst ||
        (data[1] & kSyncSecondMask) != kSyncSecond)
        return false;
    header = {};
    header.variableBlockSize = (data[1] & kVariableBlockSizeBit) != 0;
    const int blockCode = data[2] >> 4;
    const int rateCode = data[2] & 0x0f;
    // 0000 is reserved for block sizes, 1111 invalid for rates; a reserved bit set is no frame of ours.
    if (blockCode == 0 || rateCode == 0x0f || (data[3] & 0x01) || (data[3] >> 4) > 10 ||
        ((data[3] >> 1) & 0x07) == 3)
        return false;
    header.numberAt = kFixedHeaderBytes;
    if (!readNumber(data + header.numberAt, size - header.numberAt, header.number, header.numberBytes))
        return false;
    std::size_t at = header.numberAt + header.numberBytes;
    auto takeBigEndian = [&](int bytes, int& value) {
        if (at + static_cast<std::size_t>(bytes) > size)
            return false;
        value = 0;
        for (int i = 0; i < bytes; ++i)
            value = value << 8 | data[at++];
        return true;
    };
    if (blockCode == 1) {
        header.blockSize = 192;
    } else if (blockCode <= 5) {
        header.blockSize = 576 << (blockCode - 2);
    } else if (blockCode == 6 || blockCode == 7) {
        int stored = 0;
        if (!takeBigEndian(blockCode == 6 ? 1 : 2, stored))
            return false;
        header.blockSize = stored + 1;
    } else {
        header.blockSize = 256 << (blockCode - 8);
    }
    int ignoredRate = 0;
    if (rateCode == 0x0c && !takeBigEndian(1, ignoredRate))
        return false;
    if ((rateCode == 0x0d || rateCode == 0x0e) && !takeBigEndian(2, ignoredRate))
        return false;
    if (at + 1 > size || flacCrc8(data, at) != data[at])
        return false;
    header.headerBytes = at + 1;
    return true;
}

namespace {

// The frame's header with `number` in its place (a frame number, or with
// `variableBlockSize` the number of its first sample) and a new CRC-8;
// empty when the number cannot be coded.
std::vector<std::uint8_t> numberedHeader(const std::uint8_t* data, const FlacFrameHeader& header,
                                         std::uint64_t number, bool variableBlockSize)
{
    std::vector<std::uint8_t> bytes;
    if (number > kLargestSampleNumber)
        return bytes;
    const std::vector<std::uint8_t> coded = codeNumber(number);
    bytes.reserve(header.headerBytes + coded.size());
    bytes.insert(bytes.end(), data, data + header.numberAt);
    if (variableBlockSize)
        bytes[1] |= kVariableBlockSizeBit;
    bytes.insert(bytes.end(), coded.begin(), coded.end());
    // The block size and rate fields that follow the number, then a new CRC-8.
    bytes.insert(bytes.end(), data + header.numberAt + header.numberBytes, data + header.headerBytes - 1);
    bytes.push_back(flacCrc8(bytes.data(), bytes.size()));
    return bytes;
}

std::vector<std::uint8_t> numberedFrame(const std::uint8_t* data, std::size_t size, const FlacFrameHeader& header,
                                        std::uint64_t number, bool variableBlockSize)
{
    std::vector<std::uint8_t> frame = numberedHeader(data, header, number, variableBlockSize);
    if (frame.empty())
        return frame;
    frame.reserve(size + frame.size() - header.headerBytes);
    frame.insert(frame.end(), data + header.headerBytes, data + size - kCrc16Bytes);
    const std::uint16_t crc = flacCrc16(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    frame.push_back(static_cast<std::uint8_t>(crc));
    return frame;
}

} // namespace

std::vector<std::uint8_t> renumberedFlacHeader(const std::uint8_t* data, const FlacFrameHeader& header,
                                               std::uint64_t firstSample)
{
    return numberedHeader(data, header, firstSample, true);
}

std::vector<std::uint8_t> renumberFlacFrame(const std::uint8_t* data, std::size_t size,
                                            const FlacFrameHeader& header, std::uint64_t firstSample)
{
    return numberedFrame(data, size, header, firstSample, true);
}

std::vector<std::uint8_t> withFlacFrameNumber(const std::uint8_t* data, std::size_t size,
                                              const FlacFrameHeader& header, std::uint64_t number)
{
    return numberedFrame(data, size, header, number, header.variableBlockSize);
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/mp3_frame_header.h"

namespace kestrine {
namespace {

// Layer III bit rates in kbit/s by index; 0 is free format, 15 is reserved.
constexpr int kMpeg1BitRates[15] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr int kMpeg2BitRates[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr int kMpeg1SampleRates[3] = {44100, 48000, 32000};

// Reads bits from the most significant on.
class BitReader {
public:
    explicit BitReader(const std::uint8_t* bytes) : bytes_(bytes) {}
    unsigned read(int count)
    {
        unsigned value = 0;
        for (int i = 0; i < count; ++i, ++position_)
            value = (value << 1) | ((bytes_[position_ / 8] >> (7 - position_ % 8)) & 1u);
        return value;
    }
    void skip(int count) { position_ += count; }

private:
    const std::uint8_t* bytes_;
    int position_ = 0;
};

int frameBytesOf(const Mp3FrameHeader& header)
{
    const int perSlot = header.version == Mp3FrameHeader::Version::Mpeg1 ? 144 : 72;
    return perSlot * header.bitRate / header.sampleRate + (header.padded ? 1 : 0);
}

int bitRateOf(Mp3FrameHeader::Version version, int index)
{
    const int* table = version == Mp3FrameHeader::Version::Mpeg1 ? kMpeg1BitRates : kMpeg2BitRates;
    return table[index] * 1000;
}

} // namespace

bool parseMp3FrameHeader(const std::uint8_t* bytes, Mp3FrameHeader& header)
{
    if (bytes[0] != 0xff || (bytes[1] & 0xe0) != 0xe0)
        return false;
    const int versionBits = (bytes[1] >> 3) & 3;
    const int layerBits = (bytes[1] >> 1) & 3;
    const int bitRateIndex = bytes[2] >> 4;
    const int rateIndex = (bytes[2] >> 2) & 3;
    if (versionBits == 1 || layerBits != 1 || bitRateIndex == 0 || bitRateIndex == 15 || rateIndex == 3 ||
        (bytes[3] & 3) == 2)
        return false;
    Mp3FrameHeader read;
    read.version = versionBits == 3   ? Mp3FrameHeader::Version::Mpeg1
                   : versionBits == 2 ? Mp3FrameHeader::Version::Mpeg2
                                      : Mp3FrameHeader::Version::Mpeg25;
    const bool mpeg1 = read.version == Mp3FrameHeader::Version::Mpeg1;
    read.bitRateIndex = bitRateIndex;
    read.bitRate = bitRateOf(read.version, bitRateIndex);
    read.sampleRate = kMpeg1SampleRates[rateIndex] / (mpeg1 ? 1 : read.version == Mp3FrameHeader::Version::Mpeg2 ? 2 : 4);
    read.padded = (bytes[2] & 2) != 0;
    read.protectedByCrc = (bytes[1] & 1) == 0;
    read.channelMode = bytes[3] >> 6;
    read.channels = read.channelMode == 3 ? 1 : 2;
    read.samplesPerFrame = mpeg1 ? 1152 : 576;
    read.sideInfoBytes = mpeg1 ? (read.channels == 1 ? 17 : 32) : (read.channels == 1 ? 9 : 17);
    read.frameBytes = frameBytesOf(read);
    if (read.slotBytes() < 0)
        return false;
    header = read;
    return true;
}

bool withMp3BitRateIndex(const Mp3FrameHeader& header, int bitRateIndex, Mp3FrameHeader& changed)
{
    if (bitRateIndex < 1 || bitRateIndex > 14)
        return false;
    changed = header;
    changed.bitRateIndex = bitRateIndex;
    changed.bitRate = bitRateOf(header.version, bitRateIndex);
    changed.padded = false;
    changed.frameBytes = frameBytesOf(changed);
    return changed.slotBytes() >= 0;
}

void writeMp3FrameHeader(const Mp3FrameHeader& header, const std::uint8_t* original, std::uint8_t* bytes)
{
    bytes[0] = original[0];
    bytes[1] = original[1];
    bytes[2] = static_cast<std::uint8_t>((header.bitRateIndex << 4) | (original[2] & 0x0d) |
                                         (header.padded ? 2 : 0));
    bytes[3] = original[3];
}

Mp3MainData mp3MainDataOf(const Mp3FrameHeader& header, const std::uint8_t* frame)
{
    BitReader bits(frame + header.sideInfoOffset());
    Mp3MainData data;
    int totalBits = 0;
    if (header.version == Mp3FrameHeader::Version::Mpeg1) {
        data.begin = static_cast<int>(bits.read(9));
        bits.skip(header.channels == 1 ? 5 : 3);
        bits.skip(4 * header.channels);
        for (int granule = 0; granule < 2; ++granule)
            for (int channel = 0; channel < header.channels; ++channel) {
                totalBits += static_cast<int>(bits.read(12));
                bits.skip(47);
            }
    } else {
        data.begin = static_cast<int>(bits.read(8));
        bits.skip(header.channels == 1 ? 1 : 2);
        for (int channel = 0; channel < header.channels; ++channel) {
            totalBits += static_cast<int>(bits.read(12));
            bits.skip(51);
        }
    }
    data.bytes = (totalBits + 7) / 8;
    return data;
}

void setMp3MainDataBegin(const Mp3FrameHeader& header, std::uint8_t* frame, int begin)
{
    std::uint8_t* side = frame + header.sideInfoOffset();
    if (header.version == Mp3FrameHeader::Version::Mpeg1) {
        side[0] = static_cast<std::uint8_t>(begin >> 1);
        side[1] = static_cast<std::uint8_t>((side[1] & 0x7f) | ((begin & 1) << 7));
    } else {
        side[0] = static_cast<std::uint8_t>(begin);
    }
}

std::uint16_t mp3FrameCrc(const Mp3FrameHeader& header, const std::uint8_t* frame)
{
    unsigned crc = 0xffff;
    auto add = [&crc](std::uint8_t byte) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool top = ((crc >> 15) & 1u) != (((byte >> bit) & 1u) != 0);
            crc = (crc << 1) & 0xffff;
            if (top)
                crc ^= 0x8005;
        }
    };
    add(frame[2]);
    add(frame[3]);
    for (int i = 0; i < header.sideInfoBytes; ++i)
        add(frame[header.sideInfoOffset() + i]);
    return static_cast<std::uint16_t>(crc);
}

void updateMp3FrameCrc(const Mp3FrameHeader& header, std::uint8_t* frame)
{
    if (!header.protectedByCrc)
        return;
    const std::uint16_t crc = mp3FrameCrc(header, frame);
    frame[4] = static_cast<std::uint8_t>(crc >> 8);
    frame[5] = static_cast<std::uint8_t>(crc);
}

} // namespace kestrine

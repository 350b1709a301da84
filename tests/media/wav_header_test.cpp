// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/measure_duration.h"
#include "media/wav_header.h"
#include "tests/support/test_media.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace kestrine {
namespace {

std::uint64_t little(const WavHeader& header, std::size_t at, int bytes)
{
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | header[at + static_cast<std::size_t>(i)];
    return value;
}

std::string tagAt(const WavHeader& header, std::size_t at)
{
    return std::string(reinterpret_cast<const char*>(header.data() + at), 4);
}

TEST(WavHeader, PlainWavKeepsRoomForRf64)
{
    const WavHeader header = buildWavHeader(OutputFormat{}, 441000 * 4);
    EXPECT_EQ(tagAt(header, 0), "RIFF");
    EXPECT_EQ(little(header, 4, 4), 72u + 441000 * 4);
    EXPECT_EQ(tagAt(header, 8), "WAVE");
    EXPECT_EQ(tagAt(header, 12), "JUNK");
    EXPECT_EQ(little(header, 16, 4), 28u);
    EXPECT_EQ(tagAt(header, 48), "fmt ");
    EXPECT_EQ(little(header, 56, 2), 1u);      // PCM
    EXPECT_EQ(little(header, 58, 2), 2u);      // channels
    EXPECT_EQ(little(header, 60, 4), 44100u);  // rate
    EXPECT_EQ(little(header, 64, 4), 176400u); // bytes per second
    EXPECT_EQ(little(header, 68, 2), 4u);      // block
    EXPECT_EQ(little(header, 70, 2), 16u);     // bits
    EXPECT_EQ(tagAt(header, 72), "data");
    EXPECT_EQ(little(header, 76, 4), 441000u * 4);
}

TEST(WavHeader, SwitchesToRf64ExactlyWhereSizesStopFitting)
{
    const WavHeader largest = buildWavHeader(OutputFormat{}, kMaxPlainWavData);
    EXPECT_EQ(tagAt(largest, 0), "RIFF");
    EXPECT_EQ(little(largest, 4, 4), 0xFFFFFFFFu);

    const std::uint64_t dataBytes = 6ull * 1024 * 1024 * 1024; // six hours and more
    for (std::uint64_t size : {kMaxPlainWavData + 4, dataBytes}) {
        const WavHeader header = buildWavHeader(OutputFormat{}, size);
        EXPECT_EQ(tagAt(header, 0), "RF64");
        EXPECT_EQ(little(header, 4, 4), 0xFFFFFFFFu);
        EXPECT_EQ(tagAt(header, 12), "ds64");
        EXPECT_EQ(little(header, 20, 8), 72 + size); // RIFF size
        EXPECT_EQ(little(header, 28, 8), size);      // data size
        EXPECT_EQ(little(header, 36, 8), size / 4);  // frames
        EXPECT_EQ(little(header, 76, 4), 0xFFFFFFFFu);
    }
}

// A sparse file holds an RF64 header for 4.5 GiB without using the disk:
// our own reader and libavformat both must find every frame.
TEST(WavHeader, Rf64FileReadsBackWithItsFullLength)
{
    QTemporaryDir folder;
    const std::string path = folder.path().toStdString() + "/big.wav";
    const std::uint64_t dataBytes = 4608ull * 1024 * 1024;
    const WavHeader header = buildWavHeader(OutputFormat{}, dataBytes);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, header.data(), header.size(), 0), static_cast<ssize_t>(header.size()));
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kWavHeaderSize + dataBytes)), 0);
    const PcmWavLayout layout = readPcmWavLayout(fd);
    ::close(fd);
    ASSERT_TRUE(layout.valid);
    EXPECT_TRUE(matchesOutputFormat(layout, OutputFormat{}));
    EXPECT_EQ(layout.dataOffset, kWavHeaderSize);
    EXPECT_EQ(layout.dataBytes, dataBytes);

    MediaTime duration = 0;
    ASSERT_EQ(measureDuration(path, duration), result::kOk);
    EXPECT_EQ(frameAt(duration, 44100), static_cast<std::int64_t>(dataBytes / 4));
}

// Chunks after the data count in the RIFF size; the data chunk's own size
// stays what it holds, and an odd one gets its pad byte before them.
TEST(WavHeader, ChunksAfterTheDataCountInTheRiffSize)
{
    struct Case {
        std::uint64_t dataBytes;
        std::uint64_t trailerBytes;
        std::uint64_t riffSize;
        std::uint64_t trailerOffset;
    };
    for (const Case& c : {Case{400, 0, 72 + 400, 480}, Case{400, 100, 72 + 400 + 100, 480},
                          Case{401, 100, 72 + 402 + 100, 482}, Case{0, 60, 72 + 60, 80}}) {
        const WavHeader header = buildWavHeader(OutputFormat{}, c.dataBytes, c.trailerBytes);
        EXPECT_EQ(tagAt(header, 0), "RIFF");
        EXPECT_EQ(little(header, 4, 4), c.riffSize) << c.dataBytes << " + " << c.trailerBytes;
        EXPECT_EQ(little(header, 76, 4), c.dataBytes);
        EXPECT_EQ(wavTrailerOffset(c.dataBytes), c.trailerOffset);
    }
}

// Data that fits a plain header alone but not with the markers after it
// makes the file RF64, whose ds64 counts them.
TEST(WavHeader, ChunksAfterTheDataCanTipAFileIntoRf64)
{
    const std::uint64_t dataBytes = kMaxPlainWavData - 3; // even, as every join's data is
    EXPECT_EQ(tagAt(buildWavHeader(OutputFormat{}, dataBytes, 3), 0), "RIFF");
    const WavHeader header = buildWavHeader(OutputFormat{}, dataBytes, 4);
    EXPECT_EQ(tagAt(header, 0), "RF64");
    EXPECT_EQ(little(header, 20, 8), 72 + dataBytes + 4);
    EXPECT_EQ(little(header, 28, 8), dataBytes);
}

std::string bytesOf(const std::vector<std::uint8_t>& bytes)
{
    return {bytes.begin(), bytes.end()};
}

std::string u32(std::uint32_t value)
{
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>(value >> (8 * i));
    return bytes;
}

std::string cuePoint(std::uint32_t id, std::uint32_t offset)
{
    return u32(id) + u32(offset) + "data" + u32(0) + u32(0) + u32(offset);
}

TEST(WavTrailer, IsACueChunkAndAnAdtlListWithOneLabelPerCue)
{
    // A label of odd length with its NUL, one of even length that needs a pad
    // byte, and UTF-8 kept as it is.
    const std::vector<Marker> markers{{0, "a"}, {1234567, "ab"}, {0xFFFFFFFF, "\xC3\xBC.ogg"}};
    const std::string expected = "cue " + u32(4 + 3 * 24) + u32(3) + cuePoint(1, 0) + cuePoint(2, 1234567) +
                                 cuePoint(3, 0xFFFFFFFF) + "LIST" + u32(4 + 14 + 16 + 20) + "adtl" +
                                 "labl" + u32(6) + u32(1) + std::string("a\0", 2) + //
                                 "labl" + u32(7) + u32(2) + std::string("ab\0\0", 4) + //
                                 "labl" + u32(11) + u32(3) + std::string("\xC3\xBC.ogg\0", 7) + std::string(1, '\0');
    EXPECT_EQ(bytesOf(wavTrailer(markers)), expected);
}

// A cue point's offset has 32 bits: a marker past them (27 hours at
// 44,100 Hz) cannot be said and is left out rather than wrapped around.
TEST(WavTrailer, LeavesOutWhatACuePointCannotSay)
{
    const std::vector<Marker> markers{{5, "early"}, {0x100000000, "too late"}};
    const std::string trailer = bytesOf(wavTrailer(markers));
    EXPECT_EQ(trailer.substr(0, 12), "cue " + u32(28) + u32(1));
    EXPECT_EQ(trailer.find("too late"), std::string::npos);
    EXPECT_TRUE(wavTrailer({}).empty());
    EXPECT_TRUE(wavTrailer({{0x100000000, "too late"}}).empty());
}

TEST(WavHeader, LayoutOfOtherWavsIsNotTheOutputFormat)
{
    QTemporaryDir folder;
    testmedia::ToneSpec tone;
    tone.frames = 100;
    struct Case {
        testmedia::MediaFormat format;
        int sampleRate;
        int channels;
        bool matches;
    };
    for (const Case& c : {Case{testmedia::MediaFormat::WavS16, 44100, 2, true},
                          Case{testmedia::MediaFormat::WavS16, 48000, 2, false},
                          Case{testmedia::MediaFormat::WavS16, 44100, 1, false},
                          Case{testmedia::MediaFormat::WavS24, 44100, 2, false},
                          Case{testmedia::MediaFormat::WavFloat, 44100, 2, false}}) {
        tone.sampleRate = c.sampleRate;
        tone.channels = c.channels;
        const testmedia::Generated file = testmedia::writeTone(folder.path().toStdString(), "tone", c.format, tone);
        ASSERT_TRUE(file) << file.message;
        const int fd = ::open(file.path.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        const PcmWavLayout layout = readPcmWavLayout(fd);
        ::close(fd);
        ASSERT_TRUE(layout.valid) << testmedia::nameOf(c.format);
        EXPECT_EQ(matchesOutputFormat(layout, OutputFormat{}), c.matches)
            << testmedia::nameOf(c.format) << " " << c.sampleRate << " Hz " << c.channels << " ch";
        EXPECT_EQ(layout.dataBytes, 100u * static_cast<std::uint64_t>(layout.blockAlign));
    }
}

} // namespace
} // namespace kestrine

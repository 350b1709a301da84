// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/flac_frame_scanner.h"
#include "media/copying/flac_frames.h"
#include "media/ffmpeg.h"
#include "tests/media/media_fixture.h"
#include "tests/support/test_media.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>

namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;
using testmedia::ToneSpec;

using Bytes = std::vector<std::uint8_t>;

struct Scan {
    std::vector<std::size_t> sizes; // of the frames in file order
    std::int64_t samples = 0;
    MediaResult end = result::kOk; // what the scanner said after the last frame
};

Scan scanBytes(const Bytes& bytes, std::size_t chunk)
{
    std::size_t at = 0;
    std::vector<std::uint8_t> buffer;
    FlacFrameScanner scanner(
        [&](std::uint8_t* into, int size) {
            const std::size_t count = std::min({bytes.size() - at, chunk, static_cast<std::size_t>(size)});
            std::copy_n(bytes.data() + at, count, into);
            at += count;
            return static_cast<int>(count);
        },
        buffer);
    Scan scan;
    ScannedFlacFrame frame;
    while ((scan.end = scanner.next(frame)) == result::kOk) {
        // Every frame handed out is a whole frame by both its checksums.
        FlacFrameHeader header;
        EXPECT_TRUE(readFlacFrame(frame.data, frame.size, header)) << "frame " << scan.sizes.size();
        scan.sizes.push_back(frame.size);
        scan.samples += frame.header.blockSize;
    }
    return scan;
}

// The frames as FFmpeg's FLAC demuxer finds them: the reference.
std::vector<std::size_t> demuxedFrameSizes(const std::string& path)
{
    std::vector<std::size_t> sizes;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        return sizes;
    InputFormatPtr format(raw);
    PacketPtr packet(av_packet_alloc());
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        sizes.push_back(static_cast<std::size_t>(packet->size));
        av_packet_unref(packet.get());
    }
    return sizes;
}

Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Where the first frame starts: after "fLaC" and the metadata blocks.
std::size_t firstFrameAt(const Bytes& file)
{
    std::size_t at = 4;
    for (bool last = false; !last;) {
        last = (file[at] & 0x80) != 0;
        at += 4 + (std::size_t{file[at + 1]} << 16 | std::size_t{file[at + 2]} << 8 | file[at + 3]);
    }
    return at;
}

constexpr std::int64_t kToneFrames = 50'001; // eleven frames, the last one short

class FlacFrameScannerTest : public MediaFixture {
protected:
    void SetUp() override
    {
        ToneSpec tone;
        tone.frames = kToneFrames;
        path_ = makeTone("tone", MediaFormat::Flac, tone);
        if (skipped())
            GTEST_SKIP() << skipReason();
        file_ = bytesOf(testmedia::readBytes(path_));
        reference_ = demuxedFrameSizes(path_);
        ASSERT_GT(reference_.size(), 3u);
    }

    std::string path_;
    Bytes file_;
    std::vector<std::size_t> reference_;
};

// Files the scanner must walk frame by frame to the end, whatever the reads bring.
struct WholeCase {
    friend void PrintTo(const WholeCase& tested, std::ostream* out) { *out << tested.name; }
    const char* name;
    std::size_t chunk;
    std::function<void(Bytes&)> change;
};

class FlacFrameScannerWhole : public FlacFrameScannerTest, public ::testing::WithParamInterface<WholeCase> {};

TEST_P(FlacFrameScannerWhole, FindsTheFramesFfmpegFinds)
{
    Bytes file = file_;
    GetParam().change(file);
    const Scan scan = scanBytes(file, GetParam().chunk);
    EXPECT_EQ(scan.end, result::kFalse);
    EXPECT_EQ(scan.sizes, reference_);
    EXPECT_EQ(scan.samples, kToneFrames);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FlacFrameScannerWhole,
    ::testing::Values(WholeCase{"InOneRead", 1 << 22, [](Bytes&) {}},
                      // Reads that end inside headers, sync codes and checksums.
                      WholeCase{"InReadsOfSevenBytes", 7, [](Bytes&) {}},
                      WholeCase{"AfterAnId3v2Tag", 4096,
                                [](Bytes& file) {
                                    Bytes tag = {'I', 'D', '3', 4, 0, 0, 0, 0, 1, 0}; // 128 bytes of tag
                                    tag.resize(10 + 128, 0);
                                    file.insert(file.begin(), tag.begin(), tag.end());
                                }},
                      WholeCase{"BeforeAnId3v1Tag", 4096,
                                [](Bytes& file) {
                                    Bytes tag = {'T', 'A', 'G'};
                                    tag.resize(128, ' ');
                                    file.insert(file.end(), tag.begin(), tag.end());
                                }}),
    [](const auto& tested) { return std::string(tested.param.name); });

// Bytes that are no whole FLAC stream: the frames before the fault come
// out whole, then the scanner says the data is bad instead of guessing.
struct BrokenCase {
    friend void PrintTo(const BrokenCase& tested, std::ostream* out) { *out << tested.name; }
    const char* name;
    // Given the file, where its first frame starts and its frames' sizes.
    std::function<void(Bytes&, std::size_t, const std::vector<std::size_t>&)> change;
    std::size_t framesBefore; // whole frames expected before the fault
};

class FlacFrameScannerBroken : public FlacFrameScannerTest, public ::testing::WithParamInterface<BrokenCase> {};

TEST_P(FlacFrameScannerBroken, StopsAtTheFault)
{
    Bytes file = file_;
    GetParam().change(file, firstFrameAt(file_), reference_);
    const Scan scan = scanBytes(file, 4096);
    EXPECT_EQ(scan.end, AVERROR_INVALIDDATA);
    ASSERT_EQ(scan.sizes.size(), GetParam().framesBefore);
    EXPECT_TRUE(std::equal(scan.sizes.begin(), scan.sizes.end(), reference_.begin()));
}

INSTANTIATE_TEST_SUITE_P(
    Files, FlacFrameScannerBroken,
    ::testing::Values(BrokenCase{"AByteChangedInTheThirdFrame",
                                 [](Bytes& file, std::size_t first, const std::vector<std::size_t>& sizes) {
                                     // The third frame's checksum fails at every end it could have.
                                     file[first + sizes[0] + sizes[1] + sizes[2] / 2] ^= 0x21;
                                 },
                                 2},
                      BrokenCase{"TheLastFrameCut",
                                 [](Bytes& file, std::size_t, const std::vector<std::size_t>&) {
                                     file.resize(file.size() - 10);
                                 },
                                 10},
                      BrokenCase{"NoFlacAtAll",
                                 [](Bytes& file, std::size_t, const std::vector<std::size_t>&) {
                                     std::memcpy(file.data(), "RIFF", 4);
                                 },
                                 0}),
    [](const auto& tested) { return std::string(tested.param.name); });

// A file of one short frame: it ends at the end of the file, after the
// buffer has made room for a read that brings nothing more.
TEST_F(FlacFrameScannerTest, AFileOfOneFrame)
{
    ToneSpec tone;
    tone.frames = 1'000;
    const std::string path = makeTone("short", MediaFormat::Flac, tone);
    const Bytes file = bytesOf(testmedia::readBytes(path));
    for (const std::size_t chunk : {std::size_t{1} << 22, std::size_t{7}}) {
        const Scan scan = scanBytes(file, chunk);
        EXPECT_EQ(scan.end, result::kFalse) << "reads of " << chunk;
        EXPECT_EQ(scan.sizes, demuxedFrameSizes(path)) << "reads of " << chunk;
        EXPECT_EQ(scan.samples, 1'000) << "reads of " << chunk;
    }
}

// A frame's body may hold what looks like the next frame's header: sync
// code, valid CRC-8, the right number. Only the CRC-16 of the bytes before
// it tells that the frame does not end there.
TEST_F(FlacFrameScannerTest, AHeaderInsideAFrameIsNotItsEnd)
{
    Bytes file = file_;
    const std::size_t second = firstFrameAt(file) + reference_[0];
    const std::size_t third = second + reference_[1];
    // The third frame's header copied into the middle of the second's body,
    // whose CRC-16 is then made again: a valid frame that holds a false end.
    std::copy_n(file.begin() + static_cast<std::ptrdiff_t>(third), 16,
                file.begin() + static_cast<std::ptrdiff_t>(second + reference_[1] / 2));
    const std::uint16_t crc = flacCrc16(file.data() + second, reference_[1] - 2);
    file[third - 2] = static_cast<std::uint8_t>(crc >> 8);
    file[third - 1] = static_cast<std::uint8_t>(crc);

    const Scan scan = scanBytes(file, 4096);
    EXPECT_EQ(scan.end, result::kFalse);
    EXPECT_EQ(scan.sizes, reference_);
}

// The checksum carried on, and made anew for a replaced header, agrees with
// the checksum taken of the whole from scratch.
TEST(FlacFrames, Crc16CarriedOnAndReplacedAgreeWithTheWhole)
{
    std::mt19937 random(7);
    Bytes data(3000);
    for (auto& byte : data)
        byte = static_cast<std::uint8_t>(random());
    // A byte at a time, the checksum as FLAC defines it.
    const auto bitwise = [](const std::uint8_t* bytes, std::size_t size) {
        std::uint16_t crc = 0;
        for (std::size_t i = 0; i < size; ++i) {
            crc ^= static_cast<std::uint16_t>(bytes[i] << 8);
            for (int bit = 0; bit < 8; ++bit)
                crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x8005 : crc << 1);
        }
        return crc;
    };
    for (const std::size_t size : {0u, 1u, 7u, 8u, 9u, 15u, 16u, 17u, 1000u, 3000u}) {
        EXPECT_EQ(flacCrc16(data.data(), size), bitwise(data.data(), size)) << size;
        for (const std::size_t split : {std::size_t{0}, size / 3, size})
            EXPECT_EQ(flacCrc16Update(flacCrc16(data.data(), split), data.data() + split, size - split),
                      bitwise(data.data(), size))
                << size << " split at " << split;
    }
    for (const std::size_t following : {0u, 1u, 13u, 2990u}) {
        // Ten bytes of head replaced by six others.
        const std::size_t rest = std::min<std::size_t>(following, data.size() - 10);
        Bytes replaced(data.begin() + 1000, data.begin() + 1006);
        replaced.insert(replaced.end(), data.begin() + 10, data.begin() + 10 + static_cast<std::ptrdiff_t>(rest));
        EXPECT_EQ(flacCrc16Replacing(bitwise(data.data(), 10 + rest), bitwise(data.data(), 10),
                                     bitwise(replaced.data(), 6), rest),
                  bitwise(replaced.data(), replaced.size()))
            << following;
    }
}

} // namespace
} // namespace kestrine::testing

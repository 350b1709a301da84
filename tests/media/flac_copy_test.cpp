// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/copy_road.h"
#include "media/copying/flac_copier.h"
#include "media/copying/flac_frames.h"
#include "media/markers.h"
#include "media/render_job.h"
#include "tests/media/media_fixture.h"
#include "tests/support/encoded_media.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;
using testmedia::ToneSpec;
using testmedia::chaptersOf;
using testmedia::flacTestFailure;

// Every sample of a file's first audio stream as the decoder gives it,
// interleaved, 16-bit or 32-bit values alike widened to 32 bits.
struct Decoded {
    std::string message;
    int bits = 0;
    std::vector<std::int32_t> samples;
};

Decoded decodeAll(const std::string& path)
{
    Decoded decoded;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        decoded.message = "cannot open " + path;
        return decoded;
    }
    InputFormatPtr format(raw);
    avformat_find_stream_info(format.get(), nullptr);
    const AVCodec* codec = nullptr;
    const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (stream < 0) {
        decoded.message = "no audio in " + path;
        return decoded;
    }
    CodecContextPtr context(avcodec_alloc_context3(codec));
    avcodec_parameters_to_context(context.get(), format->streams[stream]->codecpar);
    if (avcodec_open2(context.get(), codec, nullptr) < 0) {
        decoded.message = "cannot decode " + path;
        return decoded;
    }
    decoded.bits = context->bits_per_raw_sample;
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    const auto drain = [&] {
        while (avcodec_receive_frame(context.get(), frame.get()) == 0) {
            const int values = frame->nb_samples * frame->ch_layout.nb_channels;
            for (int i = 0; i < values; ++i) {
                if (frame->format == AV_SAMPLE_FMT_S16)
                    decoded.samples.push_back(reinterpret_cast<const std::int16_t*>(frame->data[0])[i]);
                else
                    decoded.samples.push_back(reinterpret_cast<const std::int32_t*>(frame->data[0])[i]);
            }
        }
    };
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        if (packet->stream_index == stream && avcodec_send_packet(context.get(), packet.get()) < 0)
            decoded.message = "a packet of " + path + " does not decode";
        av_packet_unref(packet.get());
        drain();
    }
    avcodec_send_packet(context.get(), nullptr);
    drain();
    return decoded;
}

struct StreamInfo {
    int smallestBlock = 0;
    int largestBlock = 0;
    std::uint64_t smallestFrame = 0;
    std::uint64_t largestFrame = 0;
    std::uint64_t samples = 0;
    bool md5Zero = false;
};

StreamInfo streamInfoOf(const std::string& path)
{
    const std::string bytes = testmedia::readBytes(path);
    StreamInfo info;
    if (bytes.size() < 42 || bytes.compare(0, 4, "fLaC") != 0)
        return info;
    const auto at = [&](std::size_t i) { return static_cast<std::uint64_t>(static_cast<std::uint8_t>(bytes[8 + i])); };
    info.smallestBlock = static_cast<int>(at(0) << 8 | at(1));
    info.largestBlock = static_cast<int>(at(2) << 8 | at(3));
    info.smallestFrame = at(4) << 16 | at(5) << 8 | at(6);
    info.largestFrame = at(7) << 16 | at(8) << 8 | at(9);
    info.samples = (at(13) & 0x0f) << 32 | at(14) << 24 | at(15) << 16 | at(16) << 8 | at(17);
    info.md5Zero = true;
    for (std::size_t i = 18; i < 34; ++i)
        info.md5Zero = info.md5Zero && at(i) == 0;
    return info;
}

MediaTime timeOf(std::int64_t frames, int rate)
{
    return static_cast<MediaTime>(std::llround(static_cast<double>(frames) * kUnitsPerSecond / rate));
}

// The FLAC encoder's own blocks are 4,608 samples: lengths that are not a
// whole number of them end each source in a short frame.
constexpr std::int64_t kBlock = 4608;

class FlacCopyTest : public MediaFixture {
public:
    // FLAC sources of these lengths, one tone running through them all.
    std::vector<std::string> makeSources(const std::vector<std::int64_t>& lengths, int rate, int channels,
                                         int bits)
    {
        std::vector<std::string> paths;
        std::int64_t at = 0;
        for (std::size_t i = 0; i < lengths.size(); ++i) {
            ToneSpec tone;
            tone.frames = lengths[i];
            tone.sampleRate = rate;
            tone.channels = channels;
            tone.firstSample = at;
            tone.frequency = 441.0 + 100.0 * static_cast<double>(i);
            tone.flacBits = bits;
            paths.push_back(makeTone("source" + std::to_string(i), MediaFormat::Flac, tone));
            at += lengths[i];
        }
        return paths;
    }

    RenderPlan flacPlan(const std::vector<std::string>& paths, const std::vector<std::int64_t>& lengths,
                        int rate, int channels, int bits)
    {
        OutputFormat format;
        format.encoding = Encoding::Flac;
        format.sampleRate = rate;
        format.channels = channels;
        format.bitsPerSample = bits;
        std::vector<std::pair<std::string, MediaTime>> items;
        for (std::size_t i = 0; i < paths.size(); ++i)
            items.emplace_back(paths[i], timeOf(lengths[i], rate));
        RenderPlan plan = planOf(items, format);
        for (std::size_t i = 0; i < paths.size(); ++i)
            plan.sourceTitles.push_back("part " + std::to_string(i + 1));
        return plan;
    }

    // The sources' samples one after another, as the join must decode.
    static std::vector<std::int32_t> joinedSamples(const std::vector<std::string>& paths)
    {
        std::vector<std::int32_t> all;
        for (const std::string& path : paths) {
            const Decoded source = decodeAll(path);
            EXPECT_TRUE(source.message.empty()) << source.message;
            all.insert(all.end(), source.samples.begin(), source.samples.end());
        }
        return all;
    }

    std::string wavTone(const ToneSpec& tone) { return makeTone("other", MediaFormat::WavS16, tone); }

    MediaResult join(const RenderPlan& plan, const std::string& output, JoinRoad& road)
    {
        RenderProgress progress;
        const MediaResult joined = renderJoin(plan, output, progress, {});
        road = progress.road;
        return joined;
    }
};

struct CopyCase {
    friend void PrintTo(const CopyCase& tested, std::ostream* out) { *out << tested.name; }
    const char* name;
    std::vector<std::int64_t> lengths;
    int rate;
    int channels;
    int bits;
};

class FlacCopyCases : public FlacCopyTest, public ::testing::WithParamInterface<CopyCase> {};

// The copy road's output decodes to its sources sample for sample, all of
// it, other programs take it, and its STREAMINFO tells the truth about it.
TEST_P(FlacCopyCases, JoinCopiesEverySampleIntoAValidStream)
{
    const CopyCase& c = GetParam();
    const std::vector<std::string> paths = makeSources(c.lengths, c.rate, c.channels, c.bits);
    if (skipped())
        GTEST_SKIP() << skipReason();
    const RenderPlan plan = flacPlan(paths, c.lengths, c.rate, c.channels, c.bits);
    const std::string output = pathOf("joined.flac");
    JoinRoad road = JoinRoad::Undecided;
    ASSERT_EQ(join(plan, output, road), result::kOk);
    EXPECT_EQ(road, JoinRoad::Copy);

    const Decoded joined = decodeAll(output);
    ASSERT_TRUE(joined.message.empty()) << joined.message;
    EXPECT_EQ(joined.bits, c.bits);
    const std::vector<std::int32_t> expected = joinedSamples(paths);
    ASSERT_EQ(joined.samples.size(), expected.size());
    EXPECT_TRUE(joined.samples == expected) << "the joined samples differ from the sources'";
    EXPECT_EQ(flacTestFailure(output), "");

    std::int64_t total = 0;
    for (const std::int64_t length : c.lengths)
        total += length;
    const StreamInfo info = streamInfoOf(output);
    EXPECT_EQ(info.samples, static_cast<std::uint64_t>(total));
    EXPECT_TRUE(info.md5Zero);
    // Every source's short last frame is a block of the stream, the very last excepted.
    std::int64_t smallest = kBlock;
    for (std::size_t i = 0; i + 1 < c.lengths.size(); ++i)
        smallest = std::min(smallest, c.lengths[i] % kBlock == 0 ? kBlock : c.lengths[i] % kBlock);
    if (total > kBlock) {
        EXPECT_EQ(info.smallestBlock, smallest);
    }
    std::int64_t largest = 0;
    for (const std::int64_t length : c.lengths)
        largest = std::max(largest, std::min(length, kBlock));
    EXPECT_EQ(info.largestBlock, largest);
    EXPECT_GT(info.smallestFrame, 0u);
    EXPECT_GE(info.largestFrame, info.smallestFrame);
    // The markers still name where each source starts.
    EXPECT_EQ(chaptersOf(output).size(), c.lengths.size());
}

INSTANTIATE_TEST_SUITE_P(
    Sources, FlacCopyCases,
    ::testing::Values(CopyCase{"Stereo16BitOddLengths", {60'013, 33'333, 47'001}, 44100, 2, 16},
                      CopyCase{"Mono24Bit48kHz", {50'000, 20'011}, 48000, 1, 24},
                      CopyCase{"SourcesShorterThanABlock", {1'000, 4'607, 700}, 44100, 2, 16},
                      CopyCase{"WholeBlocksOnly", {2 * kBlock, kBlock}, 44100, 2, 16}),
    [](const auto& tested) { return std::string(tested.param.name); });

// Joins that must not copy still write every sample, by decoding and encoding.
struct EncodeCase {
    friend void PrintTo(const EncodeCase& tested, std::ostream* out) { *out << tested.name; }
    const char* name;
    std::function<void(RenderPlan&, FlacCopyTest&)> change;
};

class FlacEncodeRoad : public FlacCopyTest, public ::testing::WithParamInterface<EncodeCase> {};

TEST_P(FlacEncodeRoad, JoinTakesTheEncodeRoadAndStaysExact)
{
    const std::vector<std::int64_t> lengths = {30'001, 20'000};
    const std::vector<std::string> paths = makeSources(lengths, 44100, 2, 16);
    if (skipped())
        GTEST_SKIP() << skipReason();
    RenderPlan plan = flacPlan(paths, lengths, 44100, 2, 16);
    GetParam().change(plan, *this);
    if (skipped())
        GTEST_SKIP() << skipReason();
    const std::string output = pathOf("joined.flac");
    JoinRoad road = JoinRoad::Undecided;
    ASSERT_EQ(join(plan, output, road), result::kOk);
    EXPECT_EQ(road, JoinRoad::Encode);
    EXPECT_EQ(flacTestFailure(output), "");
    const Decoded joined = decodeAll(output);
    EXPECT_EQ(joined.samples.size(), static_cast<std::size_t>(plan.totalFrames * plan.format.channels));
}

INSTANTIATE_TEST_SUITE_P(
    Fallbacks, FlacEncodeRoad,
    ::testing::Values(
        EncodeCase{"AskedToReencode", [](RenderPlan& plan, FlacCopyTest&) { plan.request.reencode = true; }},
        EncodeCase{"OutputInAnotherBitDepth", [](RenderPlan& plan, FlacCopyTest&) { plan.format.bitsPerSample = 24; }},
        EncodeCase{"AMixOfCodecs",
                   [](RenderPlan& plan, FlacCopyTest& test) {
                       ToneSpec tone;
                       tone.frames = 20'000;
                       plan.sources[1].path = test.wavTone(tone);
                   }},
        // A frame whose checksum fails is left to the decoder, which knows what to do with damage.
        EncodeCase{"ADamagedFrame",
                   [](RenderPlan& plan, FlacCopyTest&) {
                       std::string bytes = testmedia::readBytes(plan.sources[0].path);
                       bytes[bytes.size() * 3 / 5] ^= 0x5a;
                       ASSERT_TRUE(testmedia::writeBytes(plan.sources[0].path, bytes));
                   }},
        // A last frame of fewer than 16 samples may end a stream, not a source inside it.
        EncodeCase{"AnInnerSourceEndsInATinyFrame",
                   [](RenderPlan& plan, FlacCopyTest& test) {
                       const std::vector<std::int64_t> lengths = {kBlock + 5, 20'000};
                       const std::vector<std::string> paths = test.makeSources(lengths, 44100, 2, 16);
                       plan = test.flacPlan(paths, lengths, 44100, 2, 16);
                   }}),
    [](const auto& tested) { return std::string(tested.param.name); });

// Stands for the FLAC copier and asks the join to stop once the first
// source is in, as the user's Stop would.
class StoppingCopier final : public FrameCopier {
public:
    explicit StoppingCopier(std::stop_source& stop) : stop_(stop) {}
    std::string whyNotCopied(const MediaInput& input, const OutputFormat& format,
                             std::int64_t frames) const override
    {
        return copier_.whyNotCopied(input, format, frames);
    }
    MediaResult describeStream(const MediaInput& first, const OutputFormat& format,
                               CodecContextPtr& stream) override
    {
        return copier_.describeStream(first, format, stream);
    }
    MediaResult copySource(MediaInput& input, std::int64_t firstFrame, std::int64_t frames, bool last,
                           const PacketWriter& write, const CopyProgress& progress,
                           std::stop_token stop) override
    {
        const MediaResult copied = copier_.copySource(input, firstFrame, frames, last, write, progress, stop);
        stop_.request_stop();
        return copied;
    }
    MediaResult endStream(AVCodecContext& stream, std::int64_t frames) override
    {
        return copier_.endStream(stream, frames);
    }

private:
    FlacCopier copier_;
    std::stop_source& stop_;
};

TEST_F(FlacCopyTest, StoppedCopyLeavesAValidFileOfTheSourcesItReached)
{
    const std::vector<std::int64_t> lengths = {30'001, 20'000, 10'000};
    const std::vector<std::string> paths = makeSources(lengths, 44100, 2, 16);
    if (skipped())
        GTEST_SKIP() << skipReason();
    const RenderPlan plan = flacPlan(paths, lengths, 44100, 2, 16);
    const std::string output = pathOf("joined.flac");
    std::stop_source stop;
    StoppingCopier copier(stop);
    RenderProgress progress;
    ASSERT_EQ(copyJoin(plan, copier, output, progress, stop.get_token()), result::kStopped);
    EXPECT_EQ(progress.framesComplete.load(), lengths[0]);
    EXPECT_EQ(flacTestFailure(output), "");
    EXPECT_EQ(streamInfoOf(output).samples, static_cast<std::uint64_t>(lengths[0]));
    const Decoded joined = decodeAll(output);
    EXPECT_TRUE(joined.samples == decodeAll(paths[0]).samples);
    EXPECT_EQ(chaptersOf(output).size(), 1u);
}

TEST(FlacFrames, ChecksumsAreFlacs)
{
    const char* text = "123456789";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text);
    EXPECT_EQ(flacCrc8(bytes, 9), 0xf4);
    EXPECT_EQ(flacCrc16(bytes, 9), 0xfee8);
}

// A frame renumbered at any sample reads back at that sample, checksums
// intact, with its sound untouched, however long the coded number grows.
TEST(FlacFrames, RenumberedFrameReadsBackAtItsSample)
{
    // A fixed-size frame number 3 of 192 samples: header, one constant
    // subframe of a 16-bit mono stream, padding to the byte, CRC-16.
    std::vector<std::uint8_t> frame = {0xff, 0xf8, 0x10, 0x08, 0x03};
    frame.push_back(flacCrc8(frame.data(), frame.size()));
    frame.insert(frame.end(), {0x00, 0x12, 0x34});
    const std::uint16_t crc = flacCrc16(frame.data(), frame.size());
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    frame.push_back(static_cast<std::uint8_t>(crc));
    FlacFrameHeader header;
    ASSERT_TRUE(readFlacFrame(frame.data(), frame.size(), header));
    EXPECT_FALSE(header.variableBlockSize);
    EXPECT_EQ(header.number, 3u);
    EXPECT_EQ(header.blockSize, 192);

    for (const std::uint64_t sample : {std::uint64_t{0}, std::uint64_t{127}, std::uint64_t{128},
                                       std::uint64_t{70'000}, std::uint64_t{1} << 31, (std::uint64_t{1} << 36) - 1}) {
        const std::vector<std::uint8_t> moved = renumberFlacFrame(frame.data(), frame.size(), header, sample);
        FlacFrameHeader read;
        ASSERT_TRUE(readFlacFrame(moved.data(), moved.size(), read)) << sample;
        EXPECT_TRUE(read.variableBlockSize);
        EXPECT_EQ(read.number, sample);
        EXPECT_EQ(read.blockSize, 192);
        EXPECT_TRUE(std::equal(moved.end() - 5, moved.end() - 2, frame.end() - 5)) << sample;
    }

    std::vector<std::uint8_t> damaged = frame;
    damaged[7] ^= 1;
    EXPECT_FALSE(readFlacFrame(damaged.data(), damaged.size(), header));
}

} // namespace
} // namespace kestrine::testing

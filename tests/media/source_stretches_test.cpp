// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
// A long source cut into stretches for several workers must come out as one
// decoder gives it from the file's start, sample for sample. The fixtures
// carry noise over their tone, so that MP3's bit reservoir and AAC's noise
// substitution are used as real recordings use them.
#include "media/decoding/source_stretches.h"
#include "media/source_renderer.h"
#include "tests/media/media_fixture.h"
#include "tests/support/encoded_media.h"

#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;
using testmedia::ToneSpec;

// Long enough for eight stretches of at least kLeastStretch; the length in
// frames over eight is no whole number of MP3 frames (1152, or 576 at 24 kHz),
// so the cuts fall inside frames.
constexpr double kSeconds = 3.3;
constexpr double kLeastStretch = 0.25;

ToneSpec noisyTone(int sampleRate, int channels)
{
    ToneSpec tone;
    tone.frequency = 997;
    tone.seconds = kSeconds;
    tone.sampleRate = sampleRate;
    tone.channels = channels;
    tone.amplitude = 0.3;
    tone.noise = 0.3;
    return tone;
}

RenderOptions optionsFor(int workers)
{
    RenderOptions options;
    options.workers = workers;
    options.leastStretchSeconds = kLeastStretch;
    return options;
}

// The first frame at which two renders differ; none when they are the same.
std::optional<std::int64_t> firstDifference(const testmedia::WavData& one, const testmedia::WavData& other)
{
    const std::size_t common = std::min(one.samples.size(), other.samples.size());
    for (std::size_t i = 0; i < common; ++i)
        if (one.samples[i] != other.samples[i])
            return static_cast<std::int64_t>(i) / std::max(one.channels, 1);
    if (one.samples.size() != other.samples.size())
        return static_cast<std::int64_t>(common) / std::max(one.channels, 1);
    return std::nullopt;
}

struct StretchCase {
    const char* name;
    MediaFormat format;
    ToneSpec tone;
    int outputRate; // the output's; the file's own unless it differs
    bool cut;       // whether the source is cut into stretches
    int outputChannels = 0; // 0: the file's
};

void PrintTo(const StretchCase& c, std::ostream* out) { *out << c.name; }

StretchCase caseOf(const char* name, MediaFormat format, int rate, int channels, bool cut,
                   void (*adjust)(ToneSpec&) = nullptr, int outputRate = 0, int outputChannels = 0)
{
    ToneSpec tone = noisyTone(rate, channels);
    if (adjust)
        adjust(tone);
    return {name, format, tone, outputRate ? outputRate : rate, cut, outputChannels};
}

class OneLongSource : public MediaFixture, public ::testing::WithParamInterface<StretchCase> {
protected:
    MediaResult renderWith(const RenderPlan& plan, const std::string& output, int workers,
                           RenderProgress& progress)
    {
        return renderToWav(plan, output, progress, {}, optionsFor(workers));
    }
};

TEST_P(OneLongSource, TwoWorkersGiveWhatOneDecoderGives)
{
    const StretchCase& c = GetParam();
    const std::string path = makeTone("long", c.format, c.tone);
    if (skipped())
        GTEST_SKIP() << skipReason();
    OutputFormat format;
    format.sampleRate = c.outputRate;
    format.channels = c.outputChannels ? c.outputChannels : c.tone.channels;
    const RenderPlan plan = planOf({{path, seconds(kSeconds)}}, format);

    EXPECT_EQ(splitKindOf(path, c.outputRate, {}) != SplitKind::None, c.cut);
    RenderProgress one;
    RenderProgress two;
    ASSERT_EQ(renderWith(plan, pathOf("one.wav"), 1, one), result::kOk);
    ASSERT_EQ(renderWith(plan, pathOf("two.wav"), 2, two), result::kOk);
    EXPECT_EQ(two.framesComplete.load(), plan.totalFrames);

    const testmedia::WavData whole = testmedia::readWav(pathOf("one.wav"));
    const testmedia::WavData cut = testmedia::readWav(pathOf("two.wav"));
    ASSERT_TRUE(whole.ok) << whole.message;
    ASSERT_TRUE(cut.ok) << cut.message;
    EXPECT_EQ(cut.frames(), plan.totalFrames);
    // The join is sound, not silence that would match anything.
    EXPECT_GT(std::count_if(whole.samples.begin(), whole.samples.end(), [](std::int16_t s) { return s > 3000; }),
              whole.frames() / 100);
    const std::optional<std::int64_t> differs = firstDifference(whole, cut);
    EXPECT_FALSE(differs) << "first difference at frame " << *differs << " of " << plan.totalFrames;
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, OneLongSource,
    ::testing::Values(
        caseOf("Flac", MediaFormat::Flac, 44100, 2, true),
        caseOf("WavInTheOutputsFormat", MediaFormat::WavS16, 44100, 2, true),
        caseOf("Wav24BitsDecodedTo16", MediaFormat::WavS24, 44100, 2, true),
        // 32 kbit/s stereo: frames of about 100 bytes, so a frame's main data
        // may begin five frames back.
        caseOf("Mp3ConstantLowRate", MediaFormat::Mp3, 44100, 2, true, [](ToneSpec& tone) { tone.bitRateKbps = 32; }),
        caseOf("Mp3Variable", MediaFormat::Mp3, 44100, 2, true, [](ToneSpec& tone) { tone.variableBitRate = true; }),
        caseOf("Mp3WithoutXingHeader", MediaFormat::Mp3, 48000, 1, true, [](ToneSpec& tone) { tone.frameIndex = false; }),
        // MPEG-2 at 8 kbit/s: 24-byte frames with three bytes of main data
        // each, so the reservoir reaches back some 80 frames.
        caseOf("Mp3Mpeg2TinyFrames", MediaFormat::Mp3, 24000, 1, true, [](ToneSpec& tone) { tone.bitRateKbps = 8; }),
        caseOf("Mp3MonoOnBothSides", MediaFormat::Mp3, 44100, 1, true, nullptr, 0, 2),
        caseOf("AacIsNotCut", MediaFormat::M4a, 44100, 2, false),
        caseOf("VorbisIsNotCut", MediaFormat::Ogg, 44100, 2, false),
        caseOf("Mp3ResampledIsNotCut", MediaFormat::Mp3, 44100, 2, false, nullptr, 48000)),
    [](const ::testing::TestParamInfo<StretchCase>& param) { return std::string(param.param.name); });

// One long source among short ones, played from a point inside the file
// and cut before its end, as a trimmed item is.
TEST_F(MediaFixture, LongTrimmedSourceAmongShortOnesStaysExact)
{
    const std::string intro = makeTone("intro", MediaFormat::WavS16, noisyTone(44100, 2));
    ToneSpec longTone = noisyTone(44100, 2);
    longTone.seconds = 4.0;
    longTone.bitRateKbps = 48;
    const std::string middle = makeTone("middle", MediaFormat::Mp3, longTone);
    const std::string outro = makeTone("outro", MediaFormat::Flac, noisyTone(44100, 2));
    if (skipped())
        GTEST_SKIP() << skipReason();
    RenderPlan plan = planOf({{intro, seconds(0.4)}, {middle, seconds(3.1)}, {outro, seconds(0.3)}});
    plan.sources[1].mediaStart = seconds(0.55);
    plan.sources[1].mediaStop = seconds(3.65);

    RenderProgress one;
    RenderProgress two;
    ASSERT_EQ(renderToWav(plan, pathOf("one.wav"), one, {}, optionsFor(1)), result::kOk);
    ASSERT_EQ(renderToWav(plan, pathOf("two.wav"), two, {}, optionsFor(2)), result::kOk);
    const testmedia::WavData whole = testmedia::readWav(pathOf("one.wav"));
    const testmedia::WavData cut = testmedia::readWav(pathOf("two.wav"));
    ASSERT_TRUE(whole.ok && cut.ok);
    EXPECT_EQ(cut.frames(), plan.totalFrames);
    const std::optional<std::int64_t> differs = firstDifference(whole, cut);
    EXPECT_FALSE(differs) << "first difference at frame " << *differs;
}

// Two MP3 streams of different rates back to back in one file, as a cat of
// two files makes: past the change a resampler makes the output's frames,
// so stretches there are decoded from the start.
TEST_F(MediaFixture, Mp3ThatChangesRateMidwayStaysExact)
{
    ToneSpec first = noisyTone(44100, 2);
    first.frameIndex = false;
    first.seconds = 2.0;
    ToneSpec second = noisyTone(22050, 2);
    second.frameIndex = false;
    second.seconds = 2.0;
    const std::string one = makeTone("first", MediaFormat::Mp3, first);
    const std::string two = makeTone("second", MediaFormat::Mp3, second);
    if (skipped())
        GTEST_SKIP() << skipReason();
    const std::string path = pathOf("both.mp3");
    ASSERT_TRUE(testmedia::writeBytes(path, testmedia::readBytes(one) + testmedia::readBytes(two)));
    const RenderPlan plan = planOf({{path, seconds(3.9)}});
    ASSERT_EQ(splitKindOf(path, 44100, {}), SplitKind::Mp3Frames);
    RenderProgress progress;
    ASSERT_EQ(renderToWav(plan, pathOf("one.wav"), progress, {}, optionsFor(1)), result::kOk);
    ASSERT_EQ(renderToWav(plan, pathOf("two.wav"), progress, {}, optionsFor(2)), result::kOk);
    const testmedia::WavData whole = testmedia::readWav(pathOf("one.wav"));
    const testmedia::WavData cut = testmedia::readWav(pathOf("two.wav"));
    ASSERT_TRUE(whole.ok && cut.ok);
    const std::optional<std::int64_t> differs = firstDifference(whole, cut);
    EXPECT_FALSE(differs) << "first difference at frame " << *differs;
}

// An encoded output takes its frames in order through a window: the
// stretches are cut to fit it (a minute is longer than two windows), and the
// file still holds the WAV join's sound.
TEST_F(MediaFixture, LongSourceToFlacOnTwoWorkersHoldsTheWavJoin)
{
    ToneSpec tone = noisyTone(44100, 2);
    tone.seconds = 60.0;
    tone.bitRateKbps = 48;
    const std::string path = makeTone("long", MediaFormat::Mp3, tone);
    if (skipped())
        GTEST_SKIP() << skipReason();
    RenderPlan plan = planOf({{path, seconds(60.0)}});
    RenderProgress one;
    ASSERT_EQ(renderToWav(plan, pathOf("one.wav"), one, {}, optionsFor(1)), result::kOk);
    plan.format.encoding = Encoding::Flac;
    RenderProgress two;
    ASSERT_EQ(renderJoin(plan, pathOf("two.flac"), two, {}, optionsFor(2)), result::kOk);
    EXPECT_EQ(testmedia::flacTestFailure(pathOf("two.flac")), "");
    ASSERT_EQ(renderToWav(planOf({{pathOf("two.flac"), seconds(60.0)}}), pathOf("decoded.wav"), one, {},
                          optionsFor(1)),
              result::kOk);
    const testmedia::WavData whole = testmedia::readWav(pathOf("one.wav"));
    const testmedia::WavData decoded = testmedia::readWav(pathOf("decoded.wav"));
    ASSERT_TRUE(whole.ok && decoded.ok);
    const std::optional<std::int64_t> differs = firstDifference(whole, decoded);
    EXPECT_FALSE(differs) << "first difference at frame " << *differs;
}

// A file cut short after it was measured fails in whichever stretch finds
// its sound missing, and the failure names the source, as with one worker.
TEST_F(MediaFixture, SourceShorterThanMeasuredFailsAndIsNamed)
{
    const std::string intro = makeTone("intro", MediaFormat::WavS16, noisyTone(44100, 2));
    const std::string shortened = makeTone("shortened", MediaFormat::Mp3, noisyTone(44100, 2));
    if (skipped())
        GTEST_SKIP() << skipReason();
    // Measured at 6 s; the file holds 3.3 s.
    RenderPlan plan = planOf({{intro, seconds(0.2)}, {shortened, seconds(6.0)}});
    plan.sources[1].soundFrames = plan.sources[1].endFrame - plan.sources[1].firstFrame;
    for (const int workers : {1, 2}) {
        RenderProgress progress;
        EXPECT_EQ(renderToWav(plan, pathOf("out.wav"), progress, {}, optionsFor(workers)), result::kSourceShrank)
            << workers << " workers";
        EXPECT_EQ(progress.failedSource.load(), 1) << workers << " workers";
        EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(pathOf("out.wav"))));
    }
}

// Keeps every frame written, where it was written.
class MemorySink final : public OutputSink {
public:
    explicit MemorySink(std::int64_t frames) : bytes(static_cast<std::size_t>(frames) * 4, 0xAA) {}
    int bytesPerFrame() const override { return 4; }
    MediaResult writeFrames(std::int64_t frame, const void* data, std::int64_t frames) override
    {
        std::memcpy(bytes.data() + frame * 4, data, static_cast<std::size_t>(frames) * 4);
        return result::kOk;
    }
    MediaResult writeSilence(std::int64_t frame, std::int64_t frames, std::stop_token) override
    {
        std::memset(bytes.data() + frame * 4, 0, static_cast<std::size_t>(frames) * 4);
        return result::kOk;
    }
    MediaResult finish(std::int64_t) override { return result::kOk; }
    void discard() override {}

    std::vector<std::uint8_t> bytes;
};

// One worker's stretches come in any order: its reader goes on from where
// the last stretch left it, or starts again when the next one lies behind.
TEST_F(MediaFixture, StretchesInAnyOrderMatchTheWholeRange)
{
    ToneSpec tone = noisyTone(44100, 2);
    tone.bitRateKbps = 32;
    const std::string mp3 = makeTone("long", MediaFormat::Mp3, tone);
    const std::string flac = makeTone("long", MediaFormat::Flac, tone);
    if (skipped())
        GTEST_SKIP() << skipReason();
    for (const auto& [path, kind] : {std::pair{mp3, SplitKind::Mp3Frames}, std::pair{flac, SplitKind::Anywhere}}) {
        const RenderPlan plan = planOf({{path, seconds(kSeconds)}});
        const PlannedSource& source = plan.sources[0];
        MemorySink whole(plan.totalFrames);
        RenderBuffers buffers;
        ASSERT_EQ(renderSource(source, plan.format, whole, {}, buffers, [](std::int64_t) {}), result::kOk);

        MemorySink pieces(plan.totalFrames);
        const std::int64_t length = 20001;
        // Adjacent, far ahead, behind, and the first one, which decodes from the start.
        for (const int index : {2, 3, 5, 1, 4, 0, 6}) {
            const SourceStretch stretch{index * length, index == 6 ? -1 : length, kind};
            ASSERT_EQ(renderSource(source, plan.format, pieces, {}, buffers, [](std::int64_t) {}, nullptr, stretch),
                      result::kOk)
                << path << " stretch " << index;
        }
        EXPECT_TRUE(pieces.bytes == whole.bytes) << path;
    }
}

// Takes frames and asks the render to stop at the first of them.
class StoppingSink final : public OutputSink {
public:
    explicit StoppingSink(std::stop_source& stop) : stop_(stop) {}
    int bytesPerFrame() const override { return 4; }
    MediaResult writeFrames(std::int64_t frame, const void*, std::int64_t frames) override
    {
        record(frame, frames);
        return result::kOk;
    }
    MediaResult writeSilence(std::int64_t frame, std::int64_t frames, std::stop_token) override
    {
        record(frame, frames);
        return result::kOk;
    }
    MediaResult finish(std::int64_t) override { return result::kOk; }
    void discard() override {}

    std::int64_t lowest = std::numeric_limits<std::int64_t>::max();
    std::int64_t highest = 0;

private:
    void record(std::int64_t frame, std::int64_t frames)
    {
        lowest = std::min(lowest, frame);
        highest = std::max(highest, frame + frames);
        stop_.request_stop();
    }
    std::stop_source& stop_;
};

TEST_F(MediaFixture, StopEndsAStretchWithinItsRange)
{
    ToneSpec tone = noisyTone(44100, 2);
    tone.seconds = 20.0;
    const std::string path = makeTone("long", MediaFormat::Mp3, tone);
    if (skipped())
        GTEST_SKIP() << skipReason();
    const RenderPlan plan = planOf({{path, seconds(20.0)}});
    const PlannedSource& source = plan.sources[0];
    const SourceStretch stretch{300001, 441000, SplitKind::Mp3Frames};
    for (const bool stoppedBefore : {false, true}) {
        std::stop_source stop;
        if (stoppedBefore)
            stop.request_stop();
        StoppingSink sink(stop);
        RenderBuffers buffers;
        EXPECT_EQ(renderSource(source, plan.format, sink, stop.get_token(), buffers, [](std::int64_t) {}, nullptr,
                               stretch),
                  result::kStopped);
        if (stoppedBefore) {
            EXPECT_EQ(sink.highest, 0) << "nothing is written once stopped";
        } else {
            EXPECT_GE(sink.lowest, stretch.offset);
            EXPECT_LE(sink.highest, stretch.offset + stretch.frames);
        }
    }
}

} // namespace
} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/media/media_fixture.h"
#include "tests/support/wav_assertions.h"
#include "tests/support/wav_chunks.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <iostream>
#include <iterator>
#include <numbers>
#include <thread>

namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;
using testmedia::ToneSpec;

ToneSpec toneOf(double frequency, double seconds, int sampleRate = 44100, int channels = 2)
{
    ToneSpec tone;
    tone.frequency = frequency;
    tone.seconds = seconds;
    tone.sampleRate = sampleRate;
    tone.channels = channels;
    return tone;
}

std::string readBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

int expectedSample(const ToneSpec& tone, std::int64_t n)
{
    return static_cast<int>(std::lround(testmedia::toneValue(tone, n) * 32767.0));
}

// The join of a 3 s, a 5 s and a 2 s file, of three formats and rates, is
// exactly ten seconds long, with each file's tone in its own range.
TEST_F(MediaFixture, ThreeSourcesFillExactlyTheirRanges)
{
    const std::string first = makeTone("first", MediaFormat::WavS16, toneOf(300, 3));
    const std::string second = makeTone("second", MediaFormat::Mp3, toneOf(600, 5, 48000, 1));
    const std::string third = makeTone("third", MediaFormat::Ogg, toneOf(1200, 2, 22050));
    if (skipped())
        GTEST_SKIP() << skipReason();
    const RenderPlan plan = planOf({{first, seconds(3)}, {second, seconds(5)}, {third, seconds(2)}});
    ASSERT_EQ(plan.totalFrames, 441000);

    const std::string output = pathOf("join.wav");
    ASSERT_EQ(render(plan, output), result::kOk);
    EXPECT_EQ(lastComplete(), 441000);
    const testmedia::WavData wav = testmedia::readWav(output);
    ASSERT_TRUE(testmedia::isJoinedWav(wav, 441000));
    EXPECT_EQ(wav.container, "wav");
    // Away from the joins, where a few ms of codec ramp could blur the count.
    EXPECT_NEAR(frequencyOf(wav, 4410, 128000), 300, 3);
    EXPECT_NEAR(frequencyOf(wav, 136000, 348000), 600, 6);
    EXPECT_NEAR(frequencyOf(wav, 357000, 436000), 1200, 12);
}

// A range longer than the sound a file was measured to hold is padded with
// silence, a shorter one cut, and the next source still starts on its own
// first frame. Both the copy path (16-bit WAV) and the decode path (24-bit
// WAV) are held to the sample.
struct RangeCase {
    const char* name;
    MediaFormat format;
    double fileSeconds;
    double rangeSeconds;
};

void PrintTo(const RangeCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class RangeFit : public MediaFixture, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(RangeFit, PadsOrCutsAndKeepsTheNextSourceInPlace)
{
    const RangeCase& c = GetParam();
    ToneSpec tone = toneOf(441, c.fileSeconds);
    ToneSpec after = toneOf(882, 0.5);
    after.firstSample = 777;
    const std::string source = makeTone("source", c.format, tone);
    const std::string next = makeTone("next", c.format, after);
    if (skipped())
        GTEST_SKIP() << skipReason();
    RenderPlan plan = planOf({{source, seconds(c.rangeSeconds)}, {next, seconds(0.5)}});
    // The file was measured at its own length; the range is the plan's.
    plan.sources[0].mediaStop = std::min(plan.sources[0].mediaStop, seconds(c.fileSeconds));

    const std::string output = pathOf("join.wav");
    ASSERT_EQ(render(plan, output), result::kOk);
    const testmedia::WavData wav = testmedia::readWav(output);
    ASSERT_TRUE(wav.ok) << wav.message;
    ASSERT_EQ(wav.frames(), plan.totalFrames);

    const std::int64_t fileFrames = std::llround(c.fileSeconds * 44100);
    const std::int64_t rangeFrames = plan.sources[0].endFrame;
    // 24-bit samples rounded to 16 bits may differ by one step from the 16-bit tone.
    const int tolerance = c.format == MediaFormat::WavS16 ? 0 : 1;
    for (std::int64_t n = 0; n < rangeFrames; ++n) {
        const int expected = n < fileFrames ? expectedSample(tone, n) : 0;
        ASSERT_NEAR(wav.at(n, 0), expected, tolerance) << "frame " << n;
        ASSERT_NEAR(wav.at(n, 1), expected, tolerance) << "frame " << n;
    }
    for (std::int64_t n = 0; n < plan.totalFrames - rangeFrames; ++n)
        ASSERT_NEAR(wav.at(rangeFrames + n, 0), expectedSample(after, n), tolerance) << "frame " << n;
}

INSTANTIATE_TEST_SUITE_P(Ranges, RangeFit,
                         ::testing::Values(RangeCase{"CopyPadded", MediaFormat::WavS16, 1.0, 1.5},
                                           RangeCase{"CopyCut", MediaFormat::WavS16, 2.0, 1.25},
                                           RangeCase{"DecodePadded", MediaFormat::WavS24, 1.0, 1.5},
                                           RangeCase{"DecodeCut", MediaFormat::WavS24, 2.0, 1.25}),
                         [](const auto& test) { return std::string(test.param.name); });

// A sine cut into files of different formats and joined back must show no gap
// and no click. Measured within 30 ms of every join:
// - the largest step between neighbouring samples: a continuous sine of this
//   amplitude and frequency never steps more than 2*pi*f/rate*A (about 1030);
//   a gap or a cut in the wave steps by up to the amplitude (16384). Allowed:
//   1.75 times the ideal, room for codec noise and for the resampler, which
//   sees each file alone and so rings a little at its edges (seen: 1.66 times
//   between a 22,050 Hz and a 48,000 Hz file).
// - the shift of the sound after the join against the ideal continuous sine:
//   the best of -4..4 samples must be 0, with an RMS difference below 5% of
//   the amplitude (codec noise is 0.5 to 3.5%; one sample off adds 4.4%).
TEST_F(MediaFixture, SplitSineJoinsBackWithoutGapOrClick)
{
    struct Piece {
        MediaFormat format;
        int sampleRate;
    };
    const std::vector<Piece> pieces = {{MediaFormat::WavS16, 44100}, {MediaFormat::Mp3, 44100},
                                       {MediaFormat::Ogg, 44100},    {MediaFormat::M4a, 44100},
                                       {MediaFormat::Flac, 48000},   {MediaFormat::Mp3, 48000},
                                       {MediaFormat::WavS24, 22050}, {MediaFormat::Ogg, 48000},
                                       {MediaFormat::WavS16, 44100}};
    const double frequency = 441.0;
    const double amplitude = 0.5;
    std::vector<std::pair<std::string, MediaTime>> items;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        ToneSpec tone = toneOf(frequency, 1.0, pieces[i].sampleRate);
        tone.amplitude = amplitude;
        tone.firstSample = static_cast<std::int64_t>(i) * pieces[i].sampleRate;
        const std::string path = makeTone("piece" + std::to_string(i), pieces[i].format, tone);
        if (skipped())
            GTEST_SKIP() << skipReason();
        MediaTime length = 0;
        ASSERT_EQ(measureDuration(path, length), result::kOk) << path;
        items.emplace_back(path, length);
    }
    const RenderPlan plan = planOf(items);
    const std::string output = pathOf("join.wav");
    ASSERT_EQ(render(plan, output), result::kOk);
    const testmedia::WavData wav = testmedia::readWav(output);
    ASSERT_TRUE(wav.ok) << wav.message;

    ToneSpec ideal = toneOf(frequency, 0);
    ideal.amplitude = amplitude;
    const double idealStep = 2 * std::numbers::pi * frequency / 44100 * amplitude * 32767;
    const std::int64_t window = 44100 * 30 / 1000;
    for (std::size_t join = 1; join < plan.sources.size(); ++join) {
        const std::int64_t at = plan.sources[join].firstFrame;
        int largestStep = 0;
        for (std::int64_t n = at - window; n < at + window; ++n)
            largestStep = std::max(largestStep, std::abs(wav.at(n, 0) - wav.at(n - 1, 0)));
        int bestShift = 0;
        double bestRms = 1e9;
        for (int shift = -4; shift <= 4; ++shift) {
            double squaredError = 0;
            for (std::int64_t n = at; n < at + window; ++n) {
                const double error = wav.at(n, 0) - testmedia::toneValue(ideal, n + shift) * 32767;
                squaredError += error * error;
            }
            const double rms = std::sqrt(squaredError / static_cast<double>(window)) / (amplitude * 32767);
            if (rms < bestRms) {
                bestRms = rms;
                bestShift = shift;
            }
        }
        EXPECT_LE(largestStep, idealStep * 1.75) << "click at the join before piece " << join;
        EXPECT_EQ(bestShift, 0) << "the sound after join " << join << " is shifted";
        EXPECT_LT(bestRms, 0.05) << "the sound after join " << join << " is not the tone";
        std::cout << "join " << join << " at frame " << at << ": largest step " << largestStep << " (ideal "
                  << std::lround(idealStep) << "), shift " << bestShift << ", RMS difference "
                  << bestRms * 100 << "% of amplitude\n";
    }
}

TEST_F(MediaFixture, MonoPlaysAtFullLevelOnBothSidesAndSurroundIsMixedDown)
{
    ToneSpec mono = toneOf(441, 0.5, 44100, 1);
    ToneSpec surround = toneOf(441, 0.5, 48000, 6);
    const std::string monoPath = makeTone("mono", MediaFormat::Flac, mono);
    const std::string surroundPath = makeTone("surround", MediaFormat::Flac, surround);
    if (skipped())
        GTEST_SKIP() << skipReason();
    const RenderPlan plan = planOf({{monoPath, seconds(0.5)}, {surroundPath, seconds(0.5)}});
    const std::string output = pathOf("join.wav");
    ASSERT_EQ(render(plan, output), result::kOk);
    const testmedia::WavData wav = testmedia::readWav(output);
    ASSERT_TRUE(wav.ok) << wav.message;
    for (std::int64_t n = 0; n < 22050; ++n) {
        ASSERT_EQ(wav.at(n, 0), wav.at(n, 1)) << "frame " << n;
        ASSERT_EQ(wav.at(n, 0), expectedSample(mono, n)) << "frame " << n;
    }
    int peak = 0;
    for (std::int64_t n = 22050 + 1000; n < 44100 - 1000; ++n) {
        ASSERT_EQ(wav.at(n, 0), wav.at(n, 1)) << "frame " << n;
        peak = std::max(peak, std::abs(static_cast<int>(wav.at(n, 0))));
    }
    // Six equal channels mixed down neither vanish nor clip.
    EXPECT_GT(peak, 3000);
    EXPECT_LT(peak, 32767);
}

// A same-format WAV is copied, a FLAC of the same tone decoded: both paths
// must give the very same bytes.
TEST_F(MediaFixture, CopyPathGivesTheBytesOfADecode)
{
    const ToneSpec tone = toneOf(523.25, 1.5);
    const std::string wavPath = makeTone("tone", MediaFormat::WavS16, tone);
    const std::string flacPath = makeTone("tone", MediaFormat::Flac, tone);
    if (skipped())
        GTEST_SKIP() << skipReason();
    const std::string copied = pathOf("copied.wav");
    const std::string decoded = pathOf("decoded.wav");
    ASSERT_EQ(render(planOf({{wavPath, seconds(1.5)}, {wavPath, seconds(0.7)}}), copied), result::kOk);
    ASSERT_EQ(render(planOf({{flacPath, seconds(1.5)}, {flacPath, seconds(0.7)}}), decoded), result::kOk);
    // The sound, that is: the markers name the two sources' different files.
    const std::string copiedData = testmedia::dataChunkOf(copied);
    ASSERT_EQ(copiedData.size(), (66150u + 30870u) * 4u);
    EXPECT_TRUE(copiedData == testmedia::dataChunkOf(decoded));
}

TEST_F(MediaFixture, MediaStartSkipsIntoTheFile)
{
    const ToneSpec tone = toneOf(441, 1.0);
    const std::string wavPath = makeTone("tone", MediaFormat::WavS16, tone);
    const std::string flacPath = makeTone("tone", MediaFormat::Flac, tone);
    if (skipped())
        GTEST_SKIP() << skipReason();
    for (const std::string& path : {wavPath, flacPath}) {
        RenderPlan plan = planOf({{path, seconds(0.25)}});
        plan.sources[0].mediaStart = seconds(0.5);
        plan.sources[0].mediaStop = seconds(0.75);
        const std::string output = pathOf("join.wav");
        ASSERT_EQ(render(plan, output), result::kOk);
        const testmedia::WavData wav = testmedia::readWav(output);
        ASSERT_TRUE(wav.ok) << wav.message;
        ASSERT_EQ(wav.frames(), 11025);
        for (std::int64_t n = 0; n < wav.frames(); ++n)
            ASSERT_EQ(wav.at(n, 0), expectedSample(tone, 22050 + n)) << path << " frame " << n;
    }
}

// A thousand sources of a length that is no whole number of frames: the
// ranges are rounded from the running time, so the join never drifts.
TEST_F(MediaFixture, AThousandSourcesDoNotDrift)
{
    const std::string path = makeTone("short", MediaFormat::WavS16, toneOf(441, 0.02));
    if (skipped())
        GTEST_SKIP() << skipReason();
    const MediaTime length = 123457; // 12.3457 ms: 544.44... frames
    const RenderPlan plan = planOf(std::vector<std::pair<std::string, MediaTime>>(1000, {path, length}));
    ASSERT_EQ(plan.totalFrames, frameAt(1000 * length, 44100));
    const std::string output = pathOf("join.wav");
    ASSERT_EQ(render(plan, output, 2), result::kOk);
    const testmedia::WavData wav = testmedia::readWav(output);
    ASSERT_TRUE(wav.ok) << wav.message;
    EXPECT_EQ(wav.frames(), plan.totalFrames);
    // Every source restarts the tone at its own first frame.
    for (std::size_t i = 0; i < plan.sources.size(); i += 97)
        EXPECT_EQ(wav.at(plan.sources[i].firstFrame + 1, 0), expectedSample(toneOf(441, 0), 1)) << "source " << i;
}

TEST_F(MediaFixture, ParallelRenderEqualsOneWorker)
{
    std::vector<std::pair<std::string, MediaTime>> items;
    const MediaFormat formats[] = {MediaFormat::Mp3, MediaFormat::WavS16, MediaFormat::Ogg,
                                   MediaFormat::Flac, MediaFormat::M4a, MediaFormat::WavS24};
    int i = 0;
    for (MediaFormat format : formats) {
        const std::string path = makeTone("piece" + std::to_string(i), format, toneOf(200 + 100 * i, 0.8 + 0.1 * i));
        if (skipped())
            GTEST_SKIP() << skipReason();
        items.emplace_back(path, seconds(0.75 + 0.1 * i));
        ++i;
    }
    const RenderPlan plan = planOf(items);
    ASSERT_EQ(render(plan, pathOf("one.wav"), 1), result::kOk);
    ASSERT_EQ(render(plan, pathOf("four.wav"), 4), result::kOk);
    EXPECT_EQ(lastComplete(), plan.totalFrames);
    EXPECT_TRUE(readBytes(pathOf("one.wav")) == readBytes(pathOf("four.wav")));
}

TEST_F(MediaFixture, GapsBetweenSourcesAreSilent)
{
    const ToneSpec tone = toneOf(441, 0.5);
    const std::string path = makeTone("tone", MediaFormat::WavS16, tone);
    if (skipped())
        GTEST_SKIP() << skipReason();
    RenderPlan plan;
    plan.sources.push_back({path, 0, seconds(0.5), 1000, 2000});
    plan.sources.push_back({path, 0, seconds(0.5), 3000, 4000});
    plan.totalFrames = 5000;
    ASSERT_EQ(render(plan, pathOf("join.wav"), 2), result::kOk);
    const testmedia::WavData wav = testmedia::readWav(pathOf("join.wav"));
    ASSERT_TRUE(wav.ok) << wav.message;
    ASSERT_EQ(wav.frames(), 5000);
    for (std::int64_t n = 0; n < 5000; ++n) {
        const bool playing = (n >= 1000 && n < 2000) || (n >= 3000 && n < 4000);
        const int expected = playing ? expectedSample(tone, n % 1000) : 0;
        ASSERT_EQ(wav.at(n, 0), expected) << "frame " << n;
    }
}

TEST_F(MediaFixture, PlansThatCannotBeRenderedAreRefused)
{
    RenderPlan overlapping;
    overlapping.sources.push_back({"a.wav", 0, 1, 0, 100});
    overlapping.sources.push_back({"b.wav", 0, 1, 50, 150});
    overlapping.totalFrames = 150;
    RenderPlan pastTheEnd;
    pastTheEnd.sources.push_back({"a.wav", 0, 1, 0, 200});
    pastTheEnd.totalFrames = 100;
    RenderPlan eightBit;
    eightBit.format.bitsPerSample = 8;
    for (const RenderPlan& plan : {overlapping, pastTheEnd, eightBit})
        EXPECT_EQ(render(plan, pathOf("join.wav")), result::kInvalidArgument);
}

TEST_F(MediaFixture, EmptyPlanWritesAnEmptyWav)
{
    ASSERT_EQ(render(RenderPlan{}, pathOf("empty.wav")), result::kOk);
    EXPECT_EQ(readBytes(pathOf("empty.wav")).size(), 80u);
}

} // namespace
} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/framework/ffmpeg_media_framework.h"
#include "media/measure_duration.h"
#include "media/result_text.h"
#include "media/sample_clock.h"
#include "tests/media/media_fixture.h"
#include "tests/support/encoded_media.h"
#include "tests/support/framework_join.h"
#include "tests/support/wav_chunks.h"

#include <numeric>

namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;

// A source of the join: its length in its own frames, at its own rate.
struct ClipLength {
    std::int64_t frames;
    int rate;
};

// The lengths of `count` sources, cycling through `pattern`.
std::vector<ClipLength> cycled(const std::vector<ClipLength>& pattern, int count)
{
    std::vector<ClipLength> lengths;
    for (int i = 0; i < count; ++i)
        lengths.push_back(pattern[static_cast<std::size_t>(i) % pattern.size()]);
    return lengths;
}

// Where each source starts, and where the join ends, at `outputRate`: the
// exact sum of the lengths before it, rounded half up once.
std::vector<std::int64_t> exactStarts(const std::vector<ClipLength>& lengths, int outputRate)
{
    std::int64_t common = 1;
    for (const ClipLength& length : lengths)
        common = std::lcm(common, static_cast<std::int64_t>(length.rate));
    std::vector<std::int64_t> starts;
    std::int64_t sum = 0; // in 1 / common of an output frame
    for (const ClipLength& length : lengths) {
        starts.push_back((sum + common / 2) / common);
        sum += length.frames * outputRate * (common / length.rate);
    }
    starts.push_back((sum + common / 2) / common);
    return starts;
}

// The length a file of `frames` frames is measured at, as Add measures it.
MediaTime measuredLength(const ClipLength& length)
{
    return av_rescale_rnd(length.frames, kUnitsPerSecond, length.rate, AV_ROUND_NEAR_INF);
}

struct ClockCase {
    const char* name;
    int outputRate;
    std::vector<ClipLength> pattern;
    int count;
};

class SampleClock : public MediaFixture, public ::testing::WithParamInterface<ClockCase> {};

// Lengths off the 100 ns grid, placed back to back as the timeline places
// them: each source takes exactly its own frames, wherever it falls.
TEST_P(SampleClock, EverySourceStartsAtTheExactSumOfThoseBefore)
{
    const ClockCase tested = GetParam();
    const std::vector<ClipLength> lengths = cycled(tested.pattern, tested.count);
    std::vector<std::pair<std::string, MediaTime>> items;
    std::vector<int> rates;
    for (const ClipLength& length : lengths) {
        items.emplace_back("source.wav", measuredLength(length));
        rates.push_back(length.rate);
    }
    OutputFormat format;
    format.sampleRate = tested.outputRate;
    RenderPlan plan = planOf(items, format);

    placeOnSampleClock(plan, rates);

    const std::vector<std::int64_t> starts = exactStarts(lengths, tested.outputRate);
    ASSERT_EQ(plan.sources.size(), lengths.size());
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        ASSERT_EQ(plan.sources[i].firstFrame, starts[i]) << "source " << i;
        ASSERT_EQ(plan.sources[i].endFrame, starts[i + 1]) << "source " << i;
        ASSERT_EQ(plan.sources[i].soundFrames, starts[i + 1] - starts[i]) << "source " << i;
    }
    EXPECT_EQ(plan.totalFrames, starts.back());
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, SampleClock,
    ::testing::Values(ClockCase{"OneFrameEachAt44100", 44100, {{1, 44100}}, 1000},
                      ClockCase{"OneFrameEachAt48000IntoOpus", 48000, {{1, 48000}}, 1000},
                      ClockCase{"ShortWavsIntoTheirOwnRate", 44100, {{2, 44100}, {6, 44100}, {5, 44100}}, 700},
                      ClockCase{"ResampledFrom48000", 44100, {{1, 48000}, {7, 48000}, {2, 48000}}, 900},
                      ClockCase{"MixedRates", 44100, {{3, 22050}, {1, 48000}, {2, 44100}, {5, 8000}}, 800},
                      ClockCase{"MixedRatesIntoOpus", 48000, {{3, 22050}, {1, 44100}, {4, 96000}}, 800},
                      ClockCase{"LongAndShort", 44100, {{441000, 44100}, {1, 48000}}, 300}),
    [](const auto& tested) { return std::string(tested.param.name); });

// A gap between two sources on the timeline stays a gap of the same frames.
TEST(SampleClockGap, AGapBetweenSourcesKeepsItsFrames)
{
    RenderPlan plan;
    plan.sources.resize(2);
    plan.sources[0].mediaStop = measuredLength({1, 44100});
    plan.sources[0].endFrame = 1;
    plan.sources[1].mediaStop = measuredLength({3, 44100});
    plan.sources[1].firstFrame = 101;
    plan.sources[1].endFrame = 104;
    plan.totalFrames = 110;

    placeOnSampleClock(plan, {44100, 44100});

    EXPECT_EQ(plan.sources[1].firstFrame, 101);
    EXPECT_EQ(plan.sources[1].endFrame, 104);
    EXPECT_EQ(plan.totalFrames, 110);
}

// Hundreds of generated files, each a few frames long, joined through the
// media framework as the window and kestrine-join join them: the output's
// decoded length is the exact sum, and in a WAV every sample and every cue
// point is where the sources put them.
struct ManyCase {
    const char* name;
    const char* output;
    int rate; // the output's: the rate of most of the sound, as the format holds it
    std::vector<ClipLength> pattern;
    int count;
};

class ManyShortSources : public MediaFixture, public ::testing::WithParamInterface<ManyCase> {};

TEST_P(ManyShortSources, JoinToTheExactSumOfTheirFrames)
{
    const ManyCase tested = GetParam();
    const std::vector<ClipLength> lengths = cycled(tested.pattern, tested.count);
    std::vector<std::string> paths;
    std::vector<SourceSpec> specs;
    std::int64_t offset = 0;
    MediaTime position = 0;
    for (std::size_t i = 0; i < lengths.size(); ++i) {
        testmedia::ToneSpec tone;
        tone.frames = lengths[i].frames;
        tone.sampleRate = lengths[i].rate;
        tone.frequency = 441.0;
        // One sine, cut into the files: joined back, it is whole again.
        tone.firstSample = offset;
        offset += lengths[i].frames;
        const std::string path = makeTone("clip" + std::to_string(i), MediaFormat::WavS16, tone);
        ASSERT_FALSE(path.empty());
        MediaTime measured = 0;
        ASSERT_EQ(measureDuration(path, measured), result::kOk);
        specs.push_back({path, position, position + measured});
        position += measured;
        paths.push_back(path);
    }

    FfmpegMediaFramework framework;
    JoinGraph join;
    const std::string output = pathOf(tested.output);
    ASSERT_EQ(buildJoinGraph(framework, buildTimeline(framework, specs), output, join), result::kOk);
    NotifyCounter notified;
    ASSERT_EQ(join.events->setNotify(notified.function()), result::kOk);
    ASSERT_EQ(join.control->run(), result::kOk);
    ASSERT_TRUE(notified.waitFor(1));
    const std::vector<GraphEvent> events = drainEvents(*join.events);
    ASSERT_EQ(events.size(), 1U);
    ASSERT_EQ(events[0].code, kEventComplete) << describeResult(static_cast<MediaResult>(events[0].param1));

    OutputFormat format = outputFormatFor(output);
    format.sampleRate = tested.rate;
    const std::vector<std::int64_t> starts = exactStarts(lengths, format.sampleRate);
    EXPECT_EQ(testmedia::playedFrames(output, format.encoding), starts.back());
    if (format.encoding != Encoding::Wav)
        return;

    const testmedia::WavChunks chunks = testmedia::readWavChunks(output);
    ASSERT_TRUE(chunks.ok) << chunks.message;
    ASSERT_EQ(chunks.cues.size(), lengths.size());
    for (std::size_t i = 0; i < lengths.size(); ++i)
        ASSERT_EQ(chunks.cues[i].sampleOffset, starts[i]) << "cue " << i;
    if (std::any_of(lengths.begin(), lengths.end(), [&](const ClipLength& l) { return l.rate != format.sampleRate; }))
        return;
    const testmedia::WavData wav = testmedia::readWav(output);
    ASSERT_TRUE(wav.ok) << wav.message;
    testmedia::ToneSpec whole;
    whole.frequency = 441.0;
    for (std::int64_t n = 0; n < wav.frames(); ++n)
        ASSERT_EQ(wav.at(n, 0), static_cast<std::int16_t>(std::lround(testmedia::toneValue(whole, n) * 32767)))
            << "frame " << n;
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, ManyShortSources,
    ::testing::Values(ManyCase{"WavOneFrameEach", "join.wav", 44100, {{1, 44100}}, 1000},
                      ManyCase{"WavOffTheGrid", "join.wav", 44100, {{2, 44100}, {6, 44100}, {5, 44100}}, 600},
                      ManyCase{"WavResampled", "join.wav", 48000, {{2, 48000}, {7, 48000}, {3, 22050}}, 400},
                      ManyCase{"Flac", "join.flac", 44100, {{2, 44100}, {6, 44100}}, 400},
                      ManyCase{"Mp3", "join.mp3", 44100, {{2, 44100}, {6, 44100}}, 400},
                      ManyCase{"Opus", "join.opus", 48000, {{2, 48000}}, 400},
                      ManyCase{"M4a", "join.m4a", 44100, {{2, 44100}, {6, 44100}}, 400}),
    [](const auto& tested) { return std::string(tested.param.name); });

} // namespace
} // namespace kestrine::testing

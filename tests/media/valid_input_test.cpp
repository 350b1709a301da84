// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/media/media_fixture.h"
#include "tests/support/wav_assertions.h"

#include <cmath>
#include <cstdlib>

namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;

int peakOf(const testmedia::WavData& wav, int channel, std::int64_t first, std::int64_t end)
{
    int peak = 0;
    for (std::int64_t n = first; n < end; ++n)
        peak = std::max(peak, std::abs(static_cast<int>(wav.at(n, channel))));
    return peak;
}

struct ChannelCase {
    const char* name;
    int channels;
    bool ffmpegKnowsTheLayout; // FFmpeg has a layout for the count, so its own matrix applies
};

void PrintTo(const ChannelCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class ManyChannels : public MediaFixture, public ::testing::WithParamInterface<ChannelCase> {};

// A WAV with more channels than any speaker set, the same tone in every
// channel, joins as that tone on both sides at the tone's own level.
TEST_P(ManyChannels, MixDownToStereo)
{
    const ChannelCase& c = GetParam();
    testmedia::ToneSpec tone;
    tone.frequency = 441.0;
    tone.seconds = 0.5;
    tone.channels = c.channels;
    tone.amplitude = 0.5;
    const std::string input = makeTone("many", MediaFormat::WavS16, tone);
    if (skipped())
        GTEST_SKIP() << skipReason();

    MediaTime length = 0;
    ASSERT_EQ(measureDuration(input, length), result::kOk);
    ASSERT_EQ(frameAt(length, 44100), 22050);
    const RenderPlan plan = planOf({{input, length}});
    const std::string output = pathOf("join.wav");
    ASSERT_EQ(render(plan, output), result::kOk);
    const testmedia::WavData wav = testmedia::readWav(output);
    ASSERT_TRUE(testmedia::isJoinedWav(wav, 22050));

    // All channels in phase, so any matrix whose rows are scaled to keep the
    // sum below full scale gives the tone back at its level.
    for (int channel = 0; channel < 2; ++channel)
        EXPECT_NEAR(peakOf(wav, channel, 0, wav.frames()), 16384, 16) << "channel " << channel;
    EXPECT_NEAR(frequencyOf(wav, 0, wav.frames()), 441.0, 4.5);
    if (c.ffmpegKnowsTheLayout) {
        const testmedia::ResampledSound reference = testmedia::resampleWithFfmpeg(input, 44100, 2);
        ASSERT_TRUE(reference.ok) << reference.message;
        EXPECT_EQ(reference.samples, wav.samples) << "not FFmpeg's own mix";
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, ManyChannels,
                         ::testing::Values(ChannelCase{"Eight", 8, true}, ChannelCase{"Nine", 9, false},
                                           ChannelCase{"Sixteen", 16, true},
                                           ChannelCase{"ThirtyTwo", 32, false},
                                           ChannelCase{"SixtyThree", 63, false}, ChannelCase{"SixtyFive", 65, false}),
                         [](const auto& tested) { return std::string(tested.param.name); });

class EmptyFile : public MediaFixture, public ::testing::WithParamInterface<MediaFormat> {};

// A file of a format that says its own length, holding no frames, is valid:
// it measures 0 and joins as nothing between its neighbours.
TEST_P(EmptyFile, MeasuresZeroAndJoinsAsNothing)
{
    testmedia::ToneSpec empty;
    empty.frames = 0;
    testmedia::ToneSpec before;
    before.frames = 4410;
    testmedia::ToneSpec after = before;
    after.firstSample = before.frames;
    const std::string emptyPath = makeTone("empty", GetParam(), empty);
    const std::string beforePath = makeTone("before", MediaFormat::WavS16, before);
    const std::string afterPath = makeTone("after", MediaFormat::WavS16, after);
    if (skipped())
        GTEST_SKIP() << skipReason();

    MediaTime length = -1;
    ASSERT_EQ(measureDuration(emptyPath, length), result::kOk);
    EXPECT_EQ(length, 0);

    const RenderPlan plan = planOf({{beforePath, seconds(0.1)}, {emptyPath, 0}, {afterPath, seconds(0.1)}});
    const std::string output = pathOf("join.wav");
    ASSERT_EQ(render(plan, output), result::kOk);
    const testmedia::WavData wav = testmedia::readWav(output);
    ASSERT_TRUE(testmedia::isJoinedWav(wav, 8820));
    for (std::int64_t n = 0; n < wav.frames(); ++n)
        ASSERT_EQ(wav.at(n, 0), std::lround(testmedia::toneValue(before, n) * 32767.0)) << "frame " << n;
}

INSTANTIATE_TEST_SUITE_P(Formats, EmptyFile,
                         ::testing::Values(MediaFormat::WavS16, MediaFormat::WavS24, MediaFormat::WavFloat,
                                           MediaFormat::AiffS16),
                         [](const auto& tested) { return testmedia::nameOf(tested.param); });

} // namespace
} // namespace kestrine::testing

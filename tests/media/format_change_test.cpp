// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/media/media_fixture.h"

#include <cmath>

namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;

struct Stretch {
    int sampleRate;
    int channels;
    double frequency;
    double seconds;
};

struct ChangeCase {
    const char* name;
    MediaFormat format;
    Stretch first;
    Stretch second;
    // What a stretch may keep of its codec's padding past its end: Vorbis
    // pads a link to its last block, which only a link's final timestamp
    // trims, and FFmpeg does not carry that across links. ADTS has no padding
    // to trim.
    int paddingFrames;
};

void PrintTo(const ChangeCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class FormatChange : public MediaFixture, public ::testing::WithParamInterface<ChangeCase> {
protected:
    // One file of the stretch on its own, and its decoded length.
    std::string makeStretch(const std::string& name, const Stretch& stretch, testmedia::DecodedCount& decoded)
    {
        testmedia::ToneSpec tone;
        tone.sampleRate = stretch.sampleRate;
        tone.channels = stretch.channels;
        tone.frequency = stretch.frequency;
        tone.seconds = stretch.seconds;
        const std::string path = makeTone(name, GetParam().format, tone);
        if (!path.empty())
            decoded = testmedia::countDecodedFrames(path);
        return path;
    }
};

double rmsOf(const testmedia::WavData& wav, std::int64_t first, std::int64_t end)
{
    double sum = 0;
    for (std::int64_t n = first; n < end; ++n)
        sum += static_cast<double>(wav.at(n, 0)) * wav.at(n, 0);
    return std::sqrt(sum / static_cast<double>(end - first));
}

// Two files end to end in one, as `cat a b` makes them: the second stretch
// has a rate and a channel count of its own. The file is as long as both
// together, and each stretch keeps its own pitch.
TEST_P(FormatChange, EveryStretchIsMeasuredAndRenderedAtItsOwnPitch)
{
    const ChangeCase tested = GetParam();
    testmedia::DecodedCount first;
    testmedia::DecodedCount second;
    const std::string a = makeStretch("first", tested.first, first);
    const std::string b = makeStretch("second", tested.second, second);
    if (skipped())
        GTEST_SKIP() << skipReason();
    ASSERT_TRUE(first.ok) << first.message;
    ASSERT_TRUE(second.ok) << second.message;
    const std::string chain = pathOf("chain" + testmedia::extensionOf(tested.format));
    ASSERT_TRUE(testmedia::writeBytes(chain, testmedia::readBytes(a) + testmedia::readBytes(b)));

    const double expectedSeconds = static_cast<double>(first.frames) / first.sampleRate +
                                   static_cast<double>(second.frames) / second.sampleRate;
    const double slackSeconds = (tested.paddingFrames + 1.0) / first.sampleRate +
                                (tested.paddingFrames + 1.0) / second.sampleRate;
    MediaTime measured = 0;
    ASSERT_EQ(measureDuration(chain, measured), result::kOk);
    EXPECT_NEAR(static_cast<double>(measured) / kUnitsPerSecond, expectedSeconds, slackSeconds);

    const std::string output = pathOf("join.wav");
    ASSERT_EQ(render(planOf({{chain, measured}}), output), result::kOk);
    const testmedia::WavData wav = testmedia::readWav(output);
    ASSERT_TRUE(wav.ok) << wav.message;
    const auto firstEnd = static_cast<std::int64_t>(
        std::llround(static_cast<double>(first.frames) * wav.sampleRate / first.sampleRate));
    const auto total = static_cast<std::int64_t>(std::llround(expectedSeconds * wav.sampleRate));
    // Every frame the measure promised came from the file, none was padded.
    EXPECT_EQ(wav.frames(), frameAt(measured, wav.sampleRate));
    EXPECT_NEAR(static_cast<double>(wav.frames()), static_cast<double>(total), slackSeconds * wav.sampleRate);
    ASSERT_GT(wav.frames(), firstEnd);

    // The middle of each stretch, clear of the codecs' fades at the seam.
    const std::int64_t firstMargin = firstEnd / 10;
    EXPECT_NEAR(frequencyOf(wav, firstMargin, firstEnd - firstMargin), tested.first.frequency, 3.0);
    const std::int64_t secondMargin = (wav.frames() - firstEnd) / 10;
    EXPECT_NEAR(frequencyOf(wav, firstEnd + secondMargin, wav.frames() - secondMargin), tested.second.frequency, 5.0);
    EXPECT_GT(rmsOf(wav, firstEnd + secondMargin, wav.frames() - secondMargin), 3000.0) << "the second stretch is silent";
}

INSTANTIATE_TEST_SUITE_P(
    Chains, FormatChange,
    ::testing::Values(ChangeCase{"ChainedVorbis", MediaFormat::Ogg, {44100, 2, 440.0, 3.0}, {22050, 1, 1000.0, 2.0}, 2048},
                      ChangeCase{"ChainedVorbisRising", MediaFormat::Ogg, {22050, 1, 660.0, 2.0}, {48000, 2, 440.0, 2.5}, 2048},
                      ChangeCase{"AdtsRateChange", MediaFormat::Adts, {44100, 2, 440.0, 3.0}, {22050, 1, 1000.0, 2.0}, 0}),
    [](const auto& tested) { return std::string(tested.param.name); });

} // namespace
} // namespace kestrine::testing

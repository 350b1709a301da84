// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/support/test_media.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace kestrine::testmedia {
namespace {

// The generator is what every engine test stands on: a WAV it writes must read
// back as the very tone it was asked for.
TEST(TestMedia, WavToneReadsBackSampleForSample)
{
    QTemporaryDir folder;
    ToneSpec tone;
    tone.frames = 1000;
    tone.firstSample = 12345;
    tone.channels = 2;
    const Generated file = writeTone(folder.path().toStdString(), "tone", MediaFormat::WavS16, tone);
    ASSERT_TRUE(file) << file.message;
    const WavData wav = readWav(file.path);
    ASSERT_TRUE(wav.ok) << wav.message;
    EXPECT_EQ(wav.sampleRate, 44100);
    EXPECT_EQ(wav.channels, 2);
    ASSERT_EQ(wav.frames(), 1000);
    for (std::int64_t n = 0; n < wav.frames(); ++n) {
        const auto expected = static_cast<int>(std::lround(toneValue(tone, n) * 32767.0));
        ASSERT_EQ(wav.at(n, 0), expected) << "frame " << n;
        ASSERT_EQ(wav.at(n, 1), expected) << "frame " << n;
    }
}

TEST(TestMedia, SplitToneContinuesThePhase)
{
    ToneSpec whole;
    whole.frequency = 997.0;
    ToneSpec second = whole;
    second.firstSample = 5000;
    for (std::int64_t n = 0; n < 100; ++n)
        EXPECT_DOUBLE_EQ(toneValue(second, n), toneValue(whole, 5000 + n));
}

class EveryFormat : public ::testing::TestWithParam<MediaFormat> {};

TEST_P(EveryFormat, WritesADecodableFileOfAboutTheAskedLength)
{
    QTemporaryDir folder;
    ToneSpec tone;
    tone.seconds = 0.5;
    tone.sampleRate = 48000;
    tone.channels = 1;
    const Generated file = writeTone(folder.path().toStdString(), "tone", GetParam(), tone);
    if (file.status == Status::Unavailable)
        GTEST_SKIP() << file.message;
    ASSERT_TRUE(file) << file.message;
    EXPECT_EQ(file.frames, 24000);
    const DecodedCount decoded = countDecodedFrames(file.path);
    ASSERT_TRUE(decoded.ok) << decoded.message;
    EXPECT_EQ(decoded.sampleRate, 48000);
    // Lossy codecs may keep a frame of padding; never more than 2048 samples.
    EXPECT_LE(std::llabs(decoded.frames - 24000), 2048) << decoded.frames;
}

INSTANTIATE_TEST_SUITE_P(TestMedia, EveryFormat,
                         ::testing::Values(MediaFormat::WavS16, MediaFormat::WavU8, MediaFormat::WavS24,
                                           MediaFormat::WavS32, MediaFormat::WavFloat, MediaFormat::Mp3,
                                           MediaFormat::Ogg, MediaFormat::M4a, MediaFormat::Flac,
                                           MediaFormat::Mp4WithVideo, MediaFormat::MkvWithVideo),
                         [](const auto& test) { return nameOf(test.param); });

TEST(TestMedia, MissingFileIsReportedNotCounted)
{
    const DecodedCount decoded = countDecodedFrames("/nonexistent/tone.wav");
    EXPECT_FALSE(decoded.ok);
    EXPECT_FALSE(decoded.message.empty());
}

} // namespace
} // namespace kestrine::testmedia

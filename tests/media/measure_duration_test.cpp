// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/media/media_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;

// What a measured length is compared with. Where the container records the
// encoder's delay and padding, the decoded count is the tone's own length.
// MP4's edit list keeps the length only to the millisecond and FFmpeg's AAC
// decoder does not trim the last frame's padding; FFmpeg's Ogg end trimming
// can cut 128 real samples off a Vorbis stream (a one-second tone decodes to
// 43,972 samples): there the tone's own length is the truth. An mp3 without its LAME header cannot know its padding:
// the decoder's count is all there is.
enum class Reference { Decoded, Encoded };

struct MeasureCase {
    const char* name;
    MediaFormat format;
    int sampleRate;
    int channels;
    bool variableBitRate;
    bool frameIndex;
    Reference reference;
    std::int64_t toleranceFrames; // 0: exact
};

void PrintTo(const MeasureCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class MeasureDuration : public MediaFixture, public ::testing::WithParamInterface<MeasureCase> {};

TEST_P(MeasureDuration, MatchesTheSoundTheFileHolds)
{
    const MeasureCase& c = GetParam();
    testmedia::ToneSpec tone;
    tone.seconds = 1.0;
    tone.sampleRate = c.sampleRate;
    tone.channels = c.channels;
    tone.variableBitRate = c.variableBitRate;
    tone.frameIndex = c.frameIndex;
    const testmedia::Generated file = testmedia::writeTone(folder(), "tone", c.format, tone);
    if (file.status == testmedia::Status::Unavailable)
        GTEST_SKIP() << file.message;
    ASSERT_TRUE(file) << file.message;

    MediaTime duration = 0;
    ASSERT_EQ(measureDuration(file.path, duration), result::kOk);
    const std::int64_t measured = frameAt(duration, c.sampleRate);
    std::int64_t expected = file.frames;
    if (c.reference == Reference::Decoded) {
        const testmedia::DecodedCount decoded = testmedia::countDecodedFrames(file.path);
        ASSERT_TRUE(decoded.ok) << decoded.message;
        expected = decoded.frames;
    }
    EXPECT_LE(std::llabs(measured - expected), c.toleranceFrames)
        << "measured " << measured << " frames, expected " << expected;
}

constexpr std::int64_t k1ms44 = 44;
constexpr std::int64_t k1ms48 = 48;

INSTANTIATE_TEST_SUITE_P(
    Formats, MeasureDuration,
    ::testing::Values(MeasureCase{"WavStereo", MediaFormat::WavS16, 44100, 2, false, true, Reference::Decoded, 0},
                      MeasureCase{"Wav24Mono48k", MediaFormat::WavS24, 48000, 1, false, true, Reference::Decoded, 0},
                      MeasureCase{"WavFloat", MediaFormat::WavFloat, 22050, 2, false, true, Reference::Decoded, 0},
                      MeasureCase{"Flac", MediaFormat::Flac, 44100, 2, false, true, Reference::Decoded, 0},
                      MeasureCase{"Mp3Cbr", MediaFormat::Mp3, 44100, 2, false, true, Reference::Decoded, k1ms44},
                      MeasureCase{"Mp3VbrMono48k", MediaFormat::Mp3, 48000, 1, true, true, Reference::Decoded, k1ms48},
                      MeasureCase{"Mp3WithoutIndex", MediaFormat::Mp3, 44100, 2, false, false, Reference::Decoded, k1ms44},
                      MeasureCase{"Mp3VbrWithoutIndex", MediaFormat::Mp3, 44100, 2, true, false, Reference::Decoded, k1ms44},
                      MeasureCase{"Ogg", MediaFormat::Ogg, 44100, 2, false, true, Reference::Encoded, 0},
                      MeasureCase{"M4a", MediaFormat::M4a, 44100, 2, false, true, Reference::Encoded, k1ms44},
                      MeasureCase{"Mp4WithVideo", MediaFormat::Mp4WithVideo, 48000, 2, false, true, Reference::Encoded, k1ms48},
                      MeasureCase{"MkvWithVideo", MediaFormat::MkvWithVideo, 44100, 2, false, true, Reference::Decoded, k1ms44}),
    [](const auto& test) { return std::string(test.param.name); });

// Files that must fail cleanly, each with the code that says why.
struct BadFileCase {
    const char* name;
    const char* fileName;
    std::string bytes;
    MediaResult expected;
};

void PrintTo(const BadFileCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class MeasureBadFile : public MediaFixture, public ::testing::WithParamInterface<BadFileCase> {};

TEST_P(MeasureBadFile, FailsWithItsCode)
{
    const BadFileCase& c = GetParam();
    const std::string path = pathOf(c.fileName);
    ASSERT_TRUE(testmedia::writeBytes(path, c.bytes));
    MediaTime duration = 12345;
    EXPECT_EQ(measureDuration(path, duration), c.expected);
    EXPECT_EQ(duration, 12345) << "a failure leaves the out-parameter alone";
}

std::string wavHeaderClaiming(std::uint32_t dataBytes)
{
    std::string header("RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xac\0\0\x10\xb1\x02\0\x04\0\x10\0data", 40);
    for (int i = 0; i < 4; ++i)
        header.push_back(static_cast<char>(dataBytes >> (8 * i)));
    return header;
}

INSTANTIATE_TEST_SUITE_P(
    Files, MeasureBadFile,
    ::testing::Values(
        BadFileCase{"Empty", "empty.mp3", "", AVERROR_INVALIDDATA},
        BadFileCase{"TextRenamedMp3", "notes.mp3", std::string(4000, 'x') + "\nplain words, not sound\n",
                    AVERROR_INVALIDDATA},
        BadFileCase{"TruncatedHeader", "cut.wav", wavHeaderClaiming(400000).substr(0, 22), AVERROR_INVALIDDATA},
        BadFileCase{"HeaderWithoutData", "nodata.wav", wavHeaderClaiming(400000), result::kDecodeFailed},
        BadFileCase{"SubtitlesOnly", "words.srt", "1\n00:00:00,000 --> 00:00:01,000\nHello\n\n", result::kNoAudioStream}),
    [](const auto& test) { return std::string(test.param.name); });

TEST_F(MediaFixture, MeasuringAMissingFileOrAFolderFails)
{
    MediaTime duration = 0;
    EXPECT_EQ(measureDuration(pathOf("missing.wav"), duration), AVERROR(ENOENT));
    EXPECT_EQ(measureDuration(folder(), duration), result::kSourceNotRegularFile);
}

// A WAV whose header claims more than the file holds plays only what is there.
TEST_F(MediaFixture, TruncatedWavMeasuresWhatItHolds)
{
    testmedia::ToneSpec tone;
    tone.frames = 44100;
    const std::string path = makeTone("tone", MediaFormat::WavS16, tone);
    ASSERT_FALSE(path.empty());
    struct stat status {};
    ASSERT_EQ(::stat(path.c_str(), &status), 0);
    ASSERT_EQ(::truncate(path.c_str(), status.st_size - 43100 * 4), 0);
    MediaTime duration = 0;
    ASSERT_EQ(measureDuration(path, duration), result::kOk);
    EXPECT_EQ(frameAt(duration, 44100), 1000);
}

} // namespace
} // namespace kestrine::testing

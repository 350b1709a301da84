// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/join_command.h"

#include "cli/console_join.h"
#include "cli/join_options.h"
#include "tests/support/fake_media_framework.h"

#include <gtest/gtest.h>
#include <sstream>

// kestrine-join's options for the output's format: what they ask for, and
// every value that cannot be written refused before anything is done.
namespace kestrine::testing {
namespace {

TEST(FormatOptions, AreReadAsTheFormatAskedFor)
{
    const ParsedJoinOptions parsed = parseJoinOptions(
        {"--rate", "44100", "--channels=1", "--bits", "24", "--bitrate=128", "--quality", "0", "-o", "x.mp3", "a"});
    ASSERT_EQ(parsed.error, QString());
    EXPECT_EQ(parsed.options.format, (AudioFormatRequest{44100, 1, 24, 128, 0}));
    EXPECT_EQ(parseJoinOptions({"-o", "x.wav", "a"}).options.format, AudioFormatRequest{});
}

struct Refused {
    const char* name;
    std::vector<std::string> arguments;
    const char* sentence;
};

void PrintTo(const Refused& refused, std::ostream* out)
{
    *out << refused.name;
}

class RefusedFormatOption : public ::testing::TestWithParam<Refused> {};

TEST_P(RefusedFormatOption, EndsWithASentenceAndDoesNothing)
{
    FakeMediaFramework fake;
    std::ostringstream out;
    std::ostringstream err;
    std::atomic<bool> interrupted{false};
    EXPECT_EQ(runJoinCommand(GetParam().arguments, fake, out, err, interrupted, false), kExitUsage);
    EXPECT_EQ(err.str(), std::string("kestrine-join: ") + GetParam().sentence + " (see --help)\n");
    EXPECT_EQ(out.str(), "");
    EXPECT_TRUE(fake.calls().empty()) << "something was done";
}

INSTANTIATE_TEST_SUITE_P(
    Values, RefusedFormatOption,
    ::testing::Values(
        Refused{"RateSeven", {"--rate", "7", "-o", "x.wav", "a.mp3"},
                "--rate 7: WAV takes sample rates from 1,000 to 768,000 Hz."},
        Refused{"RateZero", {"--rate", "0", "-o", "x.flac", "a.mp3"},
                "--rate 0: FLAC takes sample rates from 1,000 to 65,535 Hz, and multiples of 10 up to 655,340 Hz."},
        Refused{"Rate96kForMp3", {"--rate", "96000", "-o", "x.mp3", "a.mp3"},
                "--rate 96000: MP3 takes a sample rate of 32,000, 44,100 or 48,000 Hz."},
        Refused{"Rate44kForOpus", {"--rate=44100", "-o", "x.opus", "a.mp3"},
                "--rate 44100: Opus takes a sample rate of 48,000 Hz only."},
        Refused{"RateNotANumber", {"--rate", "48k", "-o", "x.wav", "a.mp3"}, "--rate needs a number of hertz, as 48000"},
        Refused{"RateMissing", {"-o", "x.wav", "a.mp3", "--rate"}, "--rate needs a number of hertz, as 48000"},
        Refused{"RateNegative", {"--rate=-44100", "-o", "x.wav", "a.mp3"}, "--rate needs a number of hertz, as 48000"},
        Refused{"ChannelsZero", {"--channels", "0", "-o", "x.wav", "a.mp3"},
                "--channels 0: The output has 1 channel (mono) or 2 (stereo)."},
        Refused{"ChannelsSix", {"--channels", "6", "-o", "x.m4a", "a.mp3"},
                "--channels 6: The output has 1 channel (mono) or 2 (stereo)."},
        Refused{"BitsTwelve", {"--bits", "12", "-o", "x.wav", "a.mp3"}, "--bits 12: WAV takes 16 or 24 bits."},
        Refused{"BitsForMp3", {"--bits", "24", "-o", "x.mp3", "a.mp3"},
                "--bits 24: MP3 chooses its own resolution: a bit depth is for WAV, FLAC and AIFF only."},
        Refused{"BitRateFiveThousand", {"--bitrate", "5000", "-o", "x.mp3", "a.mp3"},
                "--bitrate 5000: MP3 takes a bit rate of 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256 or 320 kbit/s."},
        Refused{"BitRateForWav", {"--bitrate", "320", "-o", "x.wav", "a.mp3"},
                "--bitrate 320: WAV is lossless and has no bit rate: a bit rate is for MP3, M4A and Opus only."},
        Refused{"BitRateTooHighForAac", {"--bitrate", "5000", "-o", "x.m4a", "a.mp3"},
                "--bitrate 5000: M4A takes a bit rate from 16 to 320 kbit/s."},
        Refused{"QualityTen", {"--quality", "10", "-o", "x.mp3", "a.mp3"},
                "--quality 10: MP3 takes a VBR quality from 0 (best) to 9."},
        Refused{"QualityForFlac", {"--quality", "2", "-o", "x.flac", "a.mp3"},
                "--quality 2: FLAC has no VBR quality: a quality is for MP3 only."},
        Refused{"QualityAndBitRate", {"--quality", "2", "--bitrate", "128", "-o", "x.mp3", "a.mp3"},
                "MP3 takes a constant bit rate or a VBR quality, not both."}),
    [](const auto& tested) { return std::string(tested.param.name); });

} // namespace
} // namespace kestrine::testing

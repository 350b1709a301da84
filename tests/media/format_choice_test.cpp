// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/format_choice.h"

#include <gtest/gtest.h>

// How a join's output format follows its sources, and what a request may ask.
namespace kestrine::testing {
namespace {

constexpr MediaTime kSecond = kUnitsPerSecond;

SourceFormat source(int rate, int channels, bool deep, double seconds)
{
    return {rate, channels, deep, static_cast<MediaTime>(seconds * kSecond)};
}

struct Choice {
    const char* name;
    Encoding encoding;
    std::vector<SourceFormat> sources;
    AudioFormatRequest request;
    int rate;
    int channels;
    int bits;
};

void PrintTo(const Choice& choice, std::ostream* out)
{
    *out << choice.name;
}

class OutputFormatChoice : public ::testing::TestWithParam<Choice> {};

TEST_P(OutputFormatChoice, FollowsTheSourcesWithinWhatTheFormatHolds)
{
    const Choice& choice = GetParam();
    const OutputFormat format = chooseOutputFormat(choice.encoding, choice.request, choice.sources);
    EXPECT_EQ(format.encoding, choice.encoding);
    EXPECT_EQ(format.sampleRate, choice.rate);
    EXPECT_EQ(format.channels, choice.channels);
    EXPECT_EQ(format.bitsPerSample, choice.bits);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, OutputFormatChoice,
    ::testing::Values(
        Choice{"OneRateKept", Encoding::Wav, {source(48000, 2, false, 1), source(48000, 2, false, 9)}, {}, 48000, 2, 16},
        Choice{"AllMonoStaysMono", Encoding::Flac, {source(22050, 1, false, 1), source(22050, 1, false, 1)}, {}, 22050, 1, 16},
        Choice{"OneStereoMakesStereo", Encoding::Wav, {source(44100, 1, false, 1), source(44100, 2, false, 1)}, {}, 44100, 2, 16},
        Choice{"SixChannelsMixToStereo", Encoding::Wav, {source(48000, 6, false, 1)}, {}, 48000, 2, 16},
        Choice{"LongestShareOfLengthWins", Encoding::Wav,
               {source(44100, 2, false, 1), source(22050, 2, false, 1.5), source(44100, 2, false, 1), source(48000, 2, false, 1.8)},
               {}, 44100, 2, 16},
        Choice{"OneLongFileOutweighsMany", Encoding::Wav,
               {source(44100, 2, false, 1), source(44100, 2, false, 1), source(96000, 2, false, 2.5)}, {}, 96000, 2, 16},
        Choice{"EqualSharesGoToTheHigherRate", Encoding::Wav, {source(44100, 2, false, 2), source(48000, 2, false, 2)}, {}, 48000, 2, 16},
        Choice{"DeepSourceMakes24BitWav", Encoding::Wav, {source(96000, 2, true, 1), source(96000, 2, true, 1)}, {}, 96000, 2, 24},
        Choice{"DeepSourceMakes24BitFlac", Encoding::Flac, {source(96000, 2, false, 1), source(96000, 2, true, 0.1)}, {}, 96000, 2, 24},
        Choice{"LossyOutputsStay16Bit", Encoding::M4a, {source(96000, 2, true, 1)}, {}, 96000, 2, 16},
        Choice{"Mp3TakesTheNearestMpeg1Rate", Encoding::Mp3, {source(96000, 2, true, 1)}, {}, 48000, 2, 16},
        Choice{"Mp3RaisesALowRate", Encoding::Mp3, {source(22050, 1, false, 1)}, {}, 32000, 1, 16},
        Choice{"Mp3Keeps44100", Encoding::Mp3, {source(44100, 2, false, 1)}, {}, 44100, 2, 16},
        Choice{"AacStopsAt96k", Encoding::M4a, {source(192000, 2, false, 1)}, {}, 96000, 2, 16},
        Choice{"AacTakesTheNearestOfItsRates", Encoding::M4a, {source(37800, 2, false, 1)}, {}, 32000, 2, 16},
        Choice{"OpusIsAlways48k", Encoding::Opus, {source(44100, 1, false, 1)}, {}, 48000, 1, 16},
        Choice{"FlacHalvesWhatItCannotCode", Encoding::Flac, {source(705600, 2, true, 1)}, {}, 352800, 2, 24},
        Choice{"WavTakes768k", Encoding::Wav, {source(768000, 2, true, 1)}, {}, 768000, 2, 24},
        Choice{"RequestOverridesEverything", Encoding::Wav, {source(96000, 2, true, 1)}, {44100, 1, 16, 0, -1}, 44100, 1, 16},
        Choice{"RequestFor24BitsFromShallowSources", Encoding::Flac, {source(44100, 2, false, 1)}, {0, 0, 24, 0, -1}, 44100, 2, 24},
        Choice{"RequestForStereoFromMono", Encoding::Mp3, {source(48000, 1, false, 1)}, {0, 2, 0, 0, -1}, 48000, 2, 16}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST(OutputFormatChoice, LossyFormatsTakeTheRequestedBitRateOrQuality)
{
    const std::vector<SourceFormat> sources{source(44100, 2, false, 1)};
    const OutputFormat vbr = chooseOutputFormat(Encoding::Mp3, {}, sources);
    EXPECT_EQ(vbr.vbrQuality, 2);
    EXPECT_EQ(vbr.bitRateKbps, 0);
    const OutputFormat quality = chooseOutputFormat(Encoding::Mp3, {0, 0, 0, 0, 5}, sources);
    EXPECT_EQ(quality.vbrQuality, 5);
    const OutputFormat cbr = chooseOutputFormat(Encoding::Mp3, {0, 0, 0, 128, -1}, sources);
    EXPECT_EQ(cbr.bitRateKbps, 128);
    EXPECT_EQ(cbr.vbrQuality, -1);
    EXPECT_EQ(chooseOutputFormat(Encoding::M4a, {}, sources).bitRateKbps, 192);
    EXPECT_EQ(chooseOutputFormat(Encoding::Opus, {}, sources).bitRateKbps, 128);
    EXPECT_EQ(chooseOutputFormat(Encoding::Opus, {0, 0, 0, 64, -1}, sources).bitRateKbps, 64);
}

struct Refusal {
    const char* name;
    Encoding encoding;
    AudioFormatRequest request;
    const char* sentence; // empty: allowed
};

void PrintTo(const Refusal& refusal, std::ostream* out)
{
    *out << refusal.name;
}

class FormatRequestCheck : public ::testing::TestWithParam<Refusal> {};

TEST_P(FormatRequestCheck, RefusesWhatTheFormatCannotHoldNamingWhatItCan)
{
    EXPECT_EQ(formatRequestProblem(GetParam().request, GetParam().encoding), GetParam().sentence);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, FormatRequestCheck,
    ::testing::Values(
        Refusal{"NothingAsked", Encoding::Mp3, {}, ""},
        Refusal{"EverythingWithinWav", Encoding::Wav, {96000, 1, 24, 0, -1}, ""},
        Refusal{"RateTooLow", Encoding::Wav, {7, 0, 0, 0, -1}, "WAV takes sample rates from 1,000 to 768,000 Hz."},
        Refusal{"RateTooHighForWav", Encoding::Wav, {768001, 0, 0, 0, -1}, "WAV takes sample rates from 1,000 to 768,000 Hz."},
        Refusal{"Mp3At96k", Encoding::Mp3, {96000, 0, 0, 0, -1}, "MP3 takes a sample rate of 32,000, 44,100 or 48,000 Hz."},
        Refusal{"OpusAt44k", Encoding::Opus, {44100, 0, 0, 0, -1}, "Opus takes a sample rate of 48,000 Hz only."},
        Refusal{"AacAt192k", Encoding::M4a, {192000, 0, 0, 0, -1},
                "M4A takes a sample rate of 7,350, 8,000, 11,025, 12,000, 16,000, 22,050, 24,000, 32,000, 44,100, "
                "48,000, 64,000, 88,200 or 96,000 Hz."},
        Refusal{"FlacAtAnOddHighRate", Encoding::Flac, {65537, 0, 0, 0, -1},
                "FLAC takes sample rates from 1,000 to 65,535 Hz, and multiples of 10 up to 655,340 Hz."},
        Refusal{"FlacAt352800", Encoding::Flac, {352800, 0, 0, 0, -1}, ""},
        Refusal{"NoChannels", Encoding::Wav, {0, -1, 0, 0, -1}, "The output has 1 channel (mono) or 2 (stereo)."},
        Refusal{"SixChannels", Encoding::Flac, {0, 6, 0, 0, -1}, "The output has 1 channel (mono) or 2 (stereo)."},
        Refusal{"TwelveBits", Encoding::Wav, {0, 0, 12, 0, -1}, "WAV takes 16 or 24 bits."},
        Refusal{"BitsForMp3", Encoding::Mp3, {0, 0, 24, 0, -1},
                "MP3 chooses its own resolution: a bit depth is for WAV, FLAC and AIFF only."},
        Refusal{"BitRateForFlac", Encoding::Flac, {0, 0, 0, 320, -1},
                "FLAC is lossless and has no bit rate: a bit rate is for MP3, M4A and Opus only."},
        Refusal{"Mp3BitRateOffTheList", Encoding::Mp3, {0, 0, 0, 5000, -1},
                "MP3 takes a bit rate of 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256 or 320 kbit/s."},
        Refusal{"Mp3BitRateOnTheList", Encoding::Mp3, {0, 0, 0, 160, -1}, ""},
        Refusal{"AacBitRateTooHigh", Encoding::M4a, {0, 0, 0, 5000, -1}, "M4A takes a bit rate from 16 to 320 kbit/s."},
        Refusal{"OpusBitRateTooLow", Encoding::Opus, {0, 0, 0, 5, -1}, "Opus takes a bit rate from 6 to 510 kbit/s."},
        Refusal{"QualityForOpus", Encoding::Opus, {0, 0, 0, 0, 3}, "Opus has no VBR quality: a quality is for MP3 only."},
        Refusal{"QualityTen", Encoding::Mp3, {0, 0, 0, 0, 10}, "MP3 takes a VBR quality from 0 (best) to 9."},
        Refusal{"QualityAndBitRate", Encoding::Mp3, {0, 0, 0, 128, 4},
                "MP3 takes a constant bit rate or a VBR quality, not both."}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST(OutputFormatSummary, SaysRateChannelsBitsAndFormat)
{
    OutputFormat flac;
    flac.encoding = Encoding::Flac;
    flac.sampleRate = 48000;
    flac.channels = 1;
    flac.bitsPerSample = 24;
    EXPECT_EQ(formatSummary(flac), "48,000 Hz mono, 24-bit FLAC");
    const std::vector<SourceFormat> sources{source(44100, 2, false, 1)};
    EXPECT_EQ(formatSummary(chooseOutputFormat(Encoding::Mp3, {}, sources)), "44,100 Hz stereo, MP3 VBR quality 2");
    EXPECT_EQ(formatSummary(chooseOutputFormat(Encoding::Opus, {}, sources)), "48,000 Hz stereo, Opus at 128 kbit/s");
}

} // namespace
} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/media/media_fixture.h"
#include "tests/support/wav_assertions.h"

#include <cmath>
#include <complex>
#include <cstdlib>
#include <numbers>

namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;

constexpr double kToneHz = 1000.0;
constexpr double kToneSeconds = 2.0;
// Far below what an ear hears, far above what the estimate below can miss:
// a decoded frame's worth of drift shows as hundreds of ppm.
constexpr double kMaxOffsetPpm = 2.0;
// The join and the reference run the same decoder and one libswresample
// context with the same settings over the same frames: they agree to the bit.
// A resampler rebuilt midway, another matrix or a stretch is off by hundreds
// of steps; a different dither or rounding by one.
constexpr int kMaxSampleDifference = 0;

// libswresample's default filter is 32 taps long at the lower of the two rates:
// the output frames that one input sample can touch.
std::int64_t resamplerReach(int inputRate, int outputRate)
{
    constexpr std::int64_t kTaps = 32;
    return kTaps * std::max<std::int64_t>(1, (outputRate + inputRate - 1) / inputRate);
}

// The tone's frequency in channel 0 over [first, end): its phase against the
// nominal frequency, taken in Hann-windowed blocks of 50 ms, unwrapped and fitted
// by a straight line over the whole span. The line's slope is the offset from the
// nominal frequency; on a 16-bit tone of two seconds it is good to a few parts
// per billion, where counting zero crossings is good to a few hundred ppm.
double fittedFrequency(const testmedia::WavData& wav, double nominal, std::int64_t first, std::int64_t end)
{
    const std::int64_t block = wav.sampleRate / 20;
    const double step = 2.0 * std::numbers::pi * nominal / wav.sampleRate;
    std::vector<double> times;
    std::vector<double> phases;
    for (std::int64_t start = first; start + block <= end; start += block) {
        std::complex<double> sum;
        for (std::int64_t i = 0; i < block; ++i) {
            const double window = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * (i + 0.5) / block);
            const std::int64_t n = start + i;
            sum += window * wav.at(n, 0) * std::polar(1.0, -step * static_cast<double>(n % wav.sampleRate));
        }
        double phase = std::arg(sum);
        if (!phases.empty())
            phase = phases.back() + std::remainder(phase - phases.back(), 2.0 * std::numbers::pi);
        phases.push_back(phase);
        times.push_back((static_cast<double>(start) + block / 2.0) / wav.sampleRate);
    }
    double meanTime = 0;
    double meanPhase = 0;
    for (std::size_t k = 0; k < times.size(); ++k) {
        meanTime += times[k];
        meanPhase += phases[k];
    }
    meanTime /= static_cast<double>(times.size());
    meanPhase /= static_cast<double>(times.size());
    double covariance = 0;
    double variance = 0;
    for (std::size_t k = 0; k < times.size(); ++k) {
        covariance += (times[k] - meanTime) * (phases[k] - meanPhase);
        variance += (times[k] - meanTime) * (times[k] - meanTime);
    }
    return nominal + covariance / variance / (2.0 * std::numbers::pi);
}

struct FidelityCase {
    const char* name;
    MediaFormat format;
    int sampleRate;
    int channels;
};

void PrintTo(const FidelityCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class SineFidelity : public MediaFixture, public ::testing::WithParamInterface<FidelityCase> {};

// A tone joined alone comes out at its own frequency and, sample by sample, as
// FFmpeg's own decoding and resampling of the same file gives it.
TEST_P(SineFidelity, JoinedAloneKeepsItsFrequencyAndMatchesFfmpeg)
{
    const FidelityCase& c = GetParam();
    testmedia::ToneSpec tone;
    tone.frequency = kToneHz;
    tone.seconds = kToneSeconds;
    tone.sampleRate = c.sampleRate;
    tone.channels = c.channels;
    // A fixed bit rate fits only some of Vorbis's rates and channel counts.
    tone.variableBitRate = c.format == MediaFormat::Ogg;
    const std::string input = makeTone("tone", c.format, tone);
    if (skipped())
        GTEST_SKIP() << skipReason();
    ASSERT_FALSE(input.empty());

    MediaTime length = 0;
    ASSERT_EQ(measureDuration(input, length), result::kOk);
    const RenderPlan plan = planOf({{input, length}});
    const std::string output = pathOf("join.wav");
    ASSERT_EQ(render(plan, output), result::kOk);
    const testmedia::WavData wav = testmedia::readWav(output);
    ASSERT_TRUE(testmedia::isJoinedWav(wav, plan.totalFrames));

    // Away from both ends, where the resampler's filter starts and stops.
    const std::int64_t margin = wav.sampleRate / 20;
    ASSERT_GT(wav.frames(), 4 * margin);
    const double hz = fittedFrequency(wav, kToneHz, margin, wav.frames() - margin);
    EXPECT_NEAR((hz / kToneHz - 1.0) * 1e6, 0.0, kMaxOffsetPpm) << "measured " << hz << " Hz";

    const testmedia::ResampledSound reference = testmedia::resampleWithFfmpeg(input, wav.sampleRate, wav.channels);
    ASSERT_TRUE(reference.ok) << reference.message;
    // FFmpeg's own trimming of a lossy stream's end may differ from the
    // measured length by a block; everything before it is compared. An Ogg
    // stream reaches the join's resampler untrimmed and is cut by its range,
    // so the resampler's filter sees real sound past the end where FFmpeg's
    // sees none: the last outputs, within the filter's reach, differ.
    std::int64_t compared = std::min(wav.frames(), reference.frames(wav.channels));
    EXPECT_GE(compared, wav.frames() - margin) << "the reference holds only " << reference.frames(wav.channels);
    if (c.format == MediaFormat::Ogg || c.format == MediaFormat::Opus)
        compared -= resamplerReach(c.format == MediaFormat::Opus ? 48000 : c.sampleRate, wav.sampleRate);
    std::int64_t differing = 0;
    std::int64_t firstDifference = -1;
    int largest = 0;
    for (std::int64_t i = 0; i < compared * wav.channels; ++i) {
        const int difference = std::abs(wav.samples[static_cast<std::size_t>(i)] -
                                        reference.samples[static_cast<std::size_t>(i)]);
        largest = std::max(largest, difference);
        if (difference > kMaxSampleDifference && differing++ == 0)
            firstDifference = i / wav.channels;
    }
    EXPECT_EQ(differing, 0) << "first at frame " << firstDifference << " of " << compared
                            << ", largest difference " << largest;
}

// Every format at a rate with an integer ratio to 44,100 and at one without,
// from 8 to 192 kHz, each at 1, 2 and 6 channels where the codec allows: mp3
// ends at 48 kHz and two channels, AAC at 96 kHz, Opus takes 8 to 48 kHz and
// always decodes at 48 kHz. 16-bit stereo at 44.1 kHz is copied, not decoded.
// Vorbis stays at one and two channels: libvorbisenc leaks in its setup for
// more, which the sanitizer build would report.
INSTANTIATE_TEST_SUITE_P(
    Formats, SineFidelity,
    ::testing::Values(FidelityCase{"WavS16Stereo48k", MediaFormat::WavS16, 48000, 2},
                      FidelityCase{"WavS16Mono48k", MediaFormat::WavS16, 48000, 1},
                      FidelityCase{"WavS16Stereo32k", MediaFormat::WavS16, 32000, 2},
                      FidelityCase{"WavS16Mono12k", MediaFormat::WavS16, 12000, 1},
                      FidelityCase{"WavS16Mono8k", MediaFormat::WavS16, 8000, 1},
                      FidelityCase{"WavS16Stereo44k", MediaFormat::WavS16, 44100, 2},
                      FidelityCase{"WavS16Mono22k", MediaFormat::WavS16, 22050, 1},
                      FidelityCase{"WavS16Six96k", MediaFormat::WavS16, 96000, 6},
                      FidelityCase{"WavS16Stereo192k", MediaFormat::WavS16, 192000, 2},
                      FidelityCase{"WavS24Stereo48k", MediaFormat::WavS24, 48000, 2},
                      FidelityCase{"WavS24Mono176k", MediaFormat::WavS24, 176400, 1},
                      FidelityCase{"WavS32Stereo96k", MediaFormat::WavS32, 96000, 2},
                      FidelityCase{"WavS32Six11k", MediaFormat::WavS32, 11025, 6},
                      FidelityCase{"WavFloatSix192k", MediaFormat::WavFloat, 192000, 6},
                      FidelityCase{"WavFloatStereo16k", MediaFormat::WavFloat, 16000, 2},
                      FidelityCase{"AiffS16Stereo48k", MediaFormat::AiffS16, 48000, 2},
                      FidelityCase{"AiffS16Mono24k", MediaFormat::AiffS16, 24000, 1},
                      FidelityCase{"AiffS16Six88k", MediaFormat::AiffS16, 88200, 6},
                      FidelityCase{"FlacStereo48k", MediaFormat::Flac, 48000, 2},
                      FidelityCase{"FlacMono192k", MediaFormat::Flac, 192000, 1},
                      FidelityCase{"FlacSix8k", MediaFormat::Flac, 8000, 6},
                      FidelityCase{"Mp3Stereo48k", MediaFormat::Mp3, 48000, 2},
                      FidelityCase{"Mp3Mono8k", MediaFormat::Mp3, 8000, 1},
                      FidelityCase{"Mp3Stereo22k", MediaFormat::Mp3, 22050, 2},
                      FidelityCase{"Mp3Mono32k", MediaFormat::Mp3, 32000, 1},
                      FidelityCase{"VorbisStereo48k", MediaFormat::Ogg, 48000, 2},
                      FidelityCase{"VorbisMono11k", MediaFormat::Ogg, 11025, 1},
                      FidelityCase{"VorbisStereo96k", MediaFormat::Ogg, 96000, 2},
                      FidelityCase{"AacStereo48k", MediaFormat::M4a, 48000, 2},
                      FidelityCase{"AacMono16k", MediaFormat::M4a, 16000, 1},
                      FidelityCase{"AacSix96k", MediaFormat::M4a, 96000, 6},
                      FidelityCase{"OpusStereo48k", MediaFormat::Opus, 48000, 2},
                      FidelityCase{"OpusMono16k", MediaFormat::Opus, 16000, 1},
                      FidelityCase{"OpusSix48k", MediaFormat::Opus, 48000, 6}),
    [](const ::testing::TestParamInfo<FidelityCase>& tested) { return std::string(tested.param.name); });

} // namespace
} // namespace kestrine::testing

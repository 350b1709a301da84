// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/loudness/loudness_meter.h"

#include <ebur128.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <numbers>
#include <random>

namespace kestrine::testing {
namespace {

// Sound as the render writes it: interleaved 16-bit or packed 24-bit bytes.
struct Sound {
    int channels = 2;
    int rate = 44100;
    int bits = 16;
    std::vector<std::uint8_t> bytes;
    std::vector<std::int32_t> samples; // the same, for libebur128

    std::int64_t frames() const { return static_cast<std::int64_t>(samples.size()) / channels; }
};

// `value(frame, channel)` in [-1, 1], quantised to the sound's bits.
Sound soundOf(int channels, int rate, int bits, std::int64_t frames,
              const std::function<double(std::int64_t, int)>& value)
{
    Sound sound{channels, rate, bits, {}, {}};
    const double scale = bits == 16 ? 32767.0 : 8388607.0;
    for (std::int64_t frame = 0; frame < frames; ++frame)
        for (int channel = 0; channel < channels; ++channel) {
            const auto sample = static_cast<std::int32_t>(std::lrint(std::clamp(value(frame, channel), -1.0, 1.0) * scale));
            sound.samples.push_back(sample);
            for (int byte = 0; byte < bits / 8; ++byte)
                sound.bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(sample) >> (8 * byte)));
        }
    return sound;
}

// Noise with less treble than white, as speech and music have.
std::function<double(std::int64_t, int)> noise(double level, unsigned seed)
{
    auto random = std::make_shared<std::mt19937>(seed);
    auto state = std::make_shared<std::vector<double>>(8, 0.0);
    return [=](std::int64_t, int channel) {
        std::normal_distribution<double> normal(0.0, 1.0);
        double& low = (*state)[static_cast<std::size_t>(channel)];
        low = 0.9 * low + 0.1 * normal(*random);
        return level * 3.0 * low;
    };
}

std::function<double(std::int64_t, int)> sine(double level, double frequency, int rate, double phase = 0.0)
{
    return [=](std::int64_t frame, int) {
        return level * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(frame) / rate + phase);
    };
}

struct Reference {
    double integrated;
    double truePeak;
};

// libebur128, without its histogram (whose bins round the gate), as the
// reference: the same standard, measured by a well-kept library.
Reference referenceOf(const Sound& sound)
{
    ebur128_state* state = ebur128_init(static_cast<unsigned>(sound.channels), static_cast<unsigned long>(sound.rate),
                                        EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
    std::vector<std::int32_t> widened(sound.samples.size());
    for (std::size_t i = 0; i < widened.size(); ++i)
        widened[i] = sound.samples[i] * (sound.bits == 16 ? 65536 : 256);
    ebur128_add_frames_int(state, widened.data(), static_cast<std::size_t>(sound.frames()));
    Reference reference{};
    ebur128_loudness_global(state, &reference.integrated);
    reference.truePeak = 0.0;
    for (int c = 0; c < sound.channels; ++c) {
        double peak = 0.0;
        ebur128_true_peak(state, static_cast<unsigned>(c), &peak);
        reference.truePeak = std::max(reference.truePeak, peak);
    }
    ebur128_destroy(&state);
    return reference;
}

std::unique_ptr<LoudnessMeter> meterOf(const Sound& sound, std::int64_t chunk)
{
    std::unique_ptr<LoudnessMeter> meter;
    EXPECT_EQ(LoudnessMeter::create(sound.channels, sound.rate, sound.bits, meter), result::kOk);
    const std::size_t frameBytes = static_cast<std::size_t>(sound.channels * sound.bits / 8);
    for (std::int64_t at = 0; at < sound.frames(); at += chunk) {
        const std::int64_t count = std::min(chunk, sound.frames() - at);
        EXPECT_EQ(meter->addFrames(sound.bytes.data() + static_cast<std::size_t>(at) * frameBytes, count), result::kOk);
    }
    return meter;
}

struct MeterCase {
    friend void PrintTo(const MeterCase& tested, std::ostream* out) { *out << tested.name; }
    const char* name;
    std::function<Sound()> make;
};

class LoudnessMeterCases : public ::testing::TestWithParam<MeterCase> {};

// The meter measures as libebur128 does, and the same however the frames
// come: one large write or writes of a few frames, which cross every
// boundary of its 100 ms parts and of its peak filter's stretches.
TEST_P(LoudnessMeterCases, AgreesWithLibebur128WhateverTheWrites)
{
    const Sound sound = GetParam().make();
    const Reference reference = referenceOf(sound);
    for (const std::int64_t chunk : {std::int64_t{1} << 20, std::int64_t{4096}, std::int64_t{7}}) {
        const auto meter = meterOf(sound, chunk);
        EXPECT_NEAR(meter->integrated(), reference.integrated, 0.02) << "writes of " << chunk;
        EXPECT_NEAR(decibelsOf(meter->truePeak()), decibelsOf(reference.truePeak), 0.01) << "writes of " << chunk;
        EXPECT_GE(meter->truePeak(), meter->samplePeak());
    }
}

constexpr std::int64_t kSeconds = 3;

INSTANTIATE_TEST_SUITE_P(
    Sounds, LoudnessMeterCases,
    ::testing::Values(
        MeterCase{"NoiseStereo16Bit", [] { return soundOf(2, 44100, 16, 44100 * kSeconds, noise(0.2, 1)); }},
        MeterCase{"NoiseMono24Bit48kHz", [] { return soundOf(1, 48000, 24, 48000 * kSeconds, noise(0.05, 2)); }},
        // 2× oversampling from 96 kHz, none from 192 kHz.
        MeterCase{"Noise96kHz", [] { return soundOf(2, 96000, 24, 96000 * kSeconds, noise(0.3, 3)); }},
        MeterCase{"Noise192kHz", [] { return soundOf(2, 192000, 24, 192000 * 2, noise(0.3, 4)); }},
        // Six channels: the fourth (low frequencies) does not count, the last two count 1.41 times.
        MeterCase{"SixChannels",
                  [] {
                      auto each = noise(0.2, 5);
                      return soundOf(6, 48000, 16, 48000 * 2,
                                     [&](std::int64_t frame, int channel) { return each(frame, channel) * (channel + 1) / 6.0; });
                  }},
        // A quarter of the rate, sampled 45° off its crests: the true peak is 3 dB above every sample.
        MeterCase{"SinePeakingBetweenSamples",
                  [] { return soundOf(2, 48000, 16, 48000 * kSeconds, sine(0.7, 12000.0, 48000, std::numbers::pi / 4)); }},
        // Quiet, then one loud burst: the gates leave the quiet out, and the
        // true peak is found after long stretches that cannot raise it.
        MeterCase{"QuietThenABurst",
                  [] {
                      auto quiet = noise(0.01, 6);
                      auto loud = sine(0.9, 5000.0, 44100, 1.0);
                      return soundOf(2, 44100, 16, 44100 * kSeconds, [&](std::int64_t frame, int channel) {
                          const double base = quiet(frame, channel);
                          return frame >= 100'003 && frame < 100'050 ? loud(frame, channel) : base;
                      });
                  }},
        // Two equal samples, the last of one stretch of the peak filter's
        // work: the crest between them comes out while the filter is on the
        // next stretch, whose own samples are quiet.
        MeterCase{"ACrestBetweenStretches",
                  [] {
                      auto quiet = noise(0.001, 9);
                      return soundOf(1, 44100, 16, 44100 * kSeconds, [&](std::int64_t frame, int channel) {
                          const double base = quiet(frame, channel);
                          return frame == 30 || frame == 31 ? 0.7 : base;
                      });
                  }}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST(LoudnessMeter, SilenceHasNoLoudnessAndNoPeak)
{
    std::unique_ptr<LoudnessMeter> meter;
    ASSERT_EQ(LoudnessMeter::create(2, 44100, 16, meter), result::kOk);
    ASSERT_EQ(meter->addSilence(44100 * 2), result::kOk);
    EXPECT_EQ(meter->integrated(), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(meter->truePeak(), 0.0);
}

TEST(LoudnessMeter, RefusesWhatItCannotMeasure)
{
    std::unique_ptr<LoudnessMeter> meter;
    EXPECT_EQ(LoudnessMeter::create(0, 44100, 16, meter), result::kInvalidArgument);
    EXPECT_EQ(LoudnessMeter::create(2, 44100, 8, meter), result::kInvalidArgument);
    EXPECT_EQ(meter, nullptr);
}

// A join's loudness comes from its sources' blocks, gated together: what
// libebur128 gives for its sources' states taken as one stream.
TEST(LoudnessMeter, MergedBlocksGateAsOneStream)
{
    const Sound loud = soundOf(2, 44100, 16, 44100 * 4, noise(0.3, 7));
    const Sound quiet = soundOf(2, 44100, 16, 44100 * 6, noise(0.02, 8));
    GatedBlocks join;
    join.merge(meterOf(loud, 4096)->blocks());
    join.merge(meterOf(quiet, 4096)->blocks());

    std::vector<ebur128_state*> states;
    for (const Sound* sound : {&loud, &quiet}) {
        states.push_back(ebur128_init(2, 44100, EBUR128_MODE_I));
        std::vector<std::int32_t> widened(sound->samples.begin(), sound->samples.end());
        for (auto& sample : widened)
            sample *= 65536;
        ebur128_add_frames_int(states.back(), widened.data(), static_cast<std::size_t>(sound->frames()));
    }
    double expected = 0.0;
    ebur128_loudness_global_multiple(states.data(), states.size(), &expected);
    for (ebur128_state* state : states)
        ebur128_destroy(&state);
    EXPECT_NEAR(join.integrated(), expected, 0.02);
    // The quiet source is gated out of the join in part: the join is not the mean of the two.
    EXPECT_GT(join.integrated(), (meterOf(loud, 4096)->integrated() + meterOf(quiet, 4096)->integrated()) / 2 + 1.0);
}

} // namespace
} // namespace kestrine::testing

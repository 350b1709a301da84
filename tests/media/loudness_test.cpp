// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/loudness/loudness_meter.h"
#include "media/loudness/loudness_pass.h"
#include "tests/media/media_fixture.h"
#include "tests/support/loudness_probe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <thread>

namespace kestrine::testing {
namespace {

constexpr double kSourceSeconds = 20.0;
constexpr double kSilence = -200.0; // the noise's volume that makes it digital silence
constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();

// Pink noise sources at the given volumes, each kSourceSeconds long, and the
// plan that joins them.
class LoudnessFixture : public MediaFixture {
protected:
    RenderPlan pinkNoisePlan(const std::vector<double>& volumes, const OutputFormat& format = {})
    {
        std::vector<std::pair<std::string, MediaTime>> items;
        for (std::size_t i = 0; i < volumes.size(); ++i) {
            const std::string path =
                writePinkNoise(folder(), "noise" + std::to_string(i), volumes[i], kSourceSeconds, static_cast<int>(i) + 1);
            EXPECT_FALSE(path.empty());
            items.emplace_back(path, seconds(kSourceSeconds));
        }
        return planOf(items, format);
    }
};

class LoudnessMeasureTest : public LoudnessFixture, public ::testing::WithParamInterface<int> {};

TEST_P(LoudnessMeasureTest, EachSourceAndTheJoinMeasureAsFfmpegMeasuresThem)
{
    OutputFormat format;
    format.bitsPerSample = GetParam();
    const RenderPlan plan = pinkNoisePlan({-23.0, 0.0, kSilence, -15.0}, format);
    LoudnessMeasurement measurement;
    std::atomic<std::int64_t> framesMeasured{0};
    std::ptrdiff_t failedSource = -1;
    ASSERT_EQ(measureLoudness(plan, measurement, framesMeasured, failedSource, {}, 2), result::kOk);
    ASSERT_EQ(measurement.sources.size(), 4u);
    EXPECT_EQ(framesMeasured.load(), plan.totalFrames);

    for (std::size_t i = 0; i < plan.sources.size(); ++i) {
        SCOPED_TRACE(plan.sources[i].path);
        const MeasuredLoudness outside = ebur128Of(plan.sources[i].path);
        ASSERT_TRUE(outside.ok);
        if (i == 2) {
            // Silence has no loudness and no peak, and keeps both out of the join's.
            EXPECT_EQ(measurement.sources[i].integrated, kMinusInfinity);
            EXPECT_EQ(measurement.sources[i].truePeak, 0.0);
            continue;
        }
        EXPECT_NEAR(measurement.sources[i].integrated, outside.integrated, 0.1);
        EXPECT_NEAR(decibelsOf(measurement.sources[i].truePeak), outside.truePeak, 0.3);
    }
    // The join as one stream: what FFmpeg measures in the plain join, but for
    // the few 400 ms blocks that straddle a join, which FFmpeg measures and
    // meters of one source each cannot.
    ASSERT_EQ(renderToWav(plan, pathOf("plain.wav"), *std::make_unique<RenderProgress>(), {}), result::kOk);
    const MeasuredLoudness joined = ebur128Of(pathOf("plain.wav"));
    ASSERT_TRUE(joined.ok);
    EXPECT_NEAR(measurement.join.integrated, joined.integrated, 0.2);
    EXPECT_NEAR(decibelsOf(measurement.join.truePeak), joined.truePeak, 0.3);
}

INSTANTIATE_TEST_SUITE_P(Bits, LoudnessMeasureTest, ::testing::Values(16, 24),
                         [](const auto& bits) { return std::to_string(bits.param) + "bit"; });

TEST_F(LoudnessFixture, StopWhileMeasuringWritesNothingAndLeavesTheOldOutput)
{
    testmedia::ToneSpec tone;
    tone.seconds = 120.0;
    const std::string source = makeTone("long", testmedia::MediaFormat::WavS16, tone);
    if (skipped())
        GTEST_SKIP() << skipReason();
    RenderPlan plan = planOf({{source, seconds(tone.seconds)}, {source, seconds(tone.seconds)}});
    plan.request.loudness.mode = LoudnessMode::Album;
    const std::string output = pathOf("joined.wav");
    ASSERT_TRUE(testmedia::writeBytes(output, "old"));

    RenderProgress progress;
    std::stop_source stop;
    std::atomic<bool> ended{false};
    MediaResult rendered = result::kOk;
    std::thread render([&] {
        rendered = renderJoin(plan, output, progress, stop.get_token());
        ended = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (progress.framesMeasured.load() == 0 && !ended && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    stop.request_stop();
    render.join();
    ASSERT_TRUE(progress.measuresFirst.load());
    EXPECT_LT(progress.framesMeasured.load(), plan.totalFrames) << "measuring ended before the stop";
    EXPECT_EQ(rendered, result::kStopped);
    EXPECT_EQ(progress.framesComplete.load(), 0);
    EXPECT_EQ(testmedia::readBytes(output), "old");
    EXPECT_FALSE(std::filesystem::exists(output + ".part"));
}

struct GainCase {
    const char* name;
    LoudnessMode mode;
    std::vector<Loudness> sources; // truePeak in dBTP here, made linear below
    Loudness join;
    std::vector<double> gains;
};

TEST(LoudnessGainsTest, GainsBringSourcesToTheTargetUnderTheCeiling)
{
    const GainCase cases[] = {
        {"track each to -16", LoudnessMode::Track, {{-30, -20}, {-10, -5}}, {-14, -5}, {14.0, -6.0}},
        {"track lowered by the ceiling", LoudnessMode::Track, {{-30, -5}}, {-30, -5}, {4.0}},
        {"track leaves silence alone", LoudnessMode::Track, {{kMinusInfinity, kMinusInfinity}, {-20, -10}}, {-20, -10}, {0.0, 4.0}},
        {"album moves all by one gain", LoudnessMode::Album, {{-30, -20}, {-10, -5}}, {-20, -12}, {4.0, 4.0}},
        {"album lowered by the join's peak", LoudnessMode::Album, {{-30, -20}, {-18, -3}}, {-20, -3}, {2.0, 2.0}},
        {"album of silence", LoudnessMode::Album, {{kMinusInfinity, kMinusInfinity}}, {kMinusInfinity, kMinusInfinity}, {0.0}},
        {"tags change no sample", LoudnessMode::Tags, {{-30, -20}}, {-30, -20}, {0.0}},
        {"leave changes no sample", LoudnessMode::Leave, {{-30, -20}}, {-30, -20}, {0.0}},
    };
    for (const GainCase& gainCase : cases) {
        SCOPED_TRACE(gainCase.name);
        LoudnessMeasurement measurement;
        for (Loudness source : gainCase.sources) {
            source.truePeak = std::isfinite(source.truePeak) ? linearOf(source.truePeak) : 0.0;
            measurement.sources.push_back(source);
        }
        measurement.join = {gainCase.join.integrated,
                            std::isfinite(gainCase.join.truePeak) ? linearOf(gainCase.join.truePeak) : 0.0};
        LoudnessRequest request;
        request.mode = gainCase.mode;
        const std::vector<double> gains = sourceGainsFor(request, measurement);
        ASSERT_EQ(gains.size(), gainCase.gains.size());
        for (std::size_t i = 0; i < gains.size(); ++i)
            EXPECT_NEAR(gains[i], gainCase.gains[i], 1e-9) << "source " << i;
    }
}

} // namespace
} // namespace kestrine::testing

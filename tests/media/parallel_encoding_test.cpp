// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/render_job.h"
#include "tests/media/mp3_sources.h"
#include "tests/support/encoded_media.h"
#include "tests/support/run_tool.h"
#include "tests/support/test_media.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

// Joins to FLAC and MP3 encoded in stretches on several threads: they hold
// no seam where one stretch's encoder hands over to the next one's. The
// sources are long enough to cross stretch boundaries several times, and
// their lengths are whole blocks of neither codec.
namespace kestrine::testing {
namespace {

// How far below LAME alone the stretches may fall: over the whole join,
// and in its worst 50 ms, where a seam would show.
constexpr double kMostSnrLossDb = 1.0;
constexpr double kMostWorstErrorRatio = 2.0;

// What ffmpeg decodes from a file, as 32-bit integers, interleaved.
std::vector<std::int32_t> decodeToInt32(const std::string& path, std::string& warnings)
{
    const Tool tool = runTool("ffmpeg", {"-nostdin", "-v", "warning", "-i", QString::fromStdString(path), "-f",
                                         "s32le", "-"});
    warnings = tool.exitCode == 0 ? tool.err.toStdString() : "ffmpeg failed: " + tool.err.toStdString();
    std::vector<std::int32_t> samples(static_cast<std::size_t>(tool.out.size()) / sizeof(std::int32_t));
    std::memcpy(samples.data(), tool.out.constData(), samples.size() * sizeof(std::int32_t));
    return samples;
}

// The total samples that a FLAC file's STREAMINFO gives.
std::int64_t flacTotalSamples(const std::string& path)
{
    const std::string bytes = testmedia::readBytes(path);
    if (bytes.size() < 8 + 34 || bytes.compare(0, 4, "fLaC") != 0)
        return -1;
    const auto at = [&bytes](std::size_t i) { return static_cast<std::uint64_t>(static_cast<std::uint8_t>(bytes[i])); };
    std::uint64_t total = at(8 + 13) & 0x0f;
    for (std::size_t i = 14; i < 18; ++i)
        total = total << 8 | at(8 + i);
    return static_cast<std::int64_t>(total);
}

// A slow chirp, within what MP3 keeps at every rate tested, so that its
// error is the codec's at every moment; over noise, frames that borrow much
// from the bit reservoir.
QString slowChirp(int sampleRate, int channels, double seconds, bool noise)
{
    const QString left = QString("0.4*sin(2*PI*(200+25*t)*t)%1").arg(noise ? "+0.2*(random(0)-0.5)" : "");
    const QString right = QString("0.3*sin(2*PI*(700-10*t)*t+1)%1").arg(noise ? "+0.2*(random(1)-0.5)" : "");
    return QString("aevalsrc='%1%2':s=%3:d=%4")
        .arg(left, channels == 2 ? "|" + right : QString())
        .arg(sampleRate)
        .arg(seconds);
}

struct Sources {
    int sampleRate = 44100;
    int channels = 2;
    int bits = 16;
    bool noise = false;
    std::vector<std::int64_t> cuts; // where the chirp is cut into sources, the last being its end
};

// The slow chirp cut into WAV sources, and the plan that joins them into `encoding`.
class StretchJoin : public ::testing::Test {
protected:
    std::string pathOf(const std::string& name) const { return folder_.path().toStdString() + "/" + name; }

    RenderPlan makeSources(const Sources& sources, Encoding encoding, int bitRateKbps = 0)
    {
        RenderPlan plan;
        plan.format = OutputFormat{sources.sampleRate, sources.channels, sources.bits, encoding};
        plan.format.bitRateKbps = bitRateKbps;
        plan.withMarkers = false;
        const double seconds = static_cast<double>(sources.cuts.back()) / sources.sampleRate + 1.0;
        std::int64_t at = 0;
        for (std::size_t i = 0; i < sources.cuts.size(); ++i) {
            PlannedSource source;
            source.path = pathOf("part" + std::to_string(i) + ".wav");
            const Tool made = runTool(
                "ffmpeg", {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                           slowChirp(sources.sampleRate, sources.channels, seconds, sources.noise), "-af",
                           QString("atrim=start_sample=%1:end_sample=%2").arg(at).arg(sources.cuts[i]), "-c:a",
                           sources.bits == 24 ? "pcm_s24le" : "pcm_s16le", QString::fromStdString(source.path)});
            EXPECT_EQ(made.exitCode, 0) << made.err.toStdString();
            source.firstFrame = at;
            source.endFrame = sources.cuts[i];
            source.mediaStop = (source.endFrame - at) * kUnitsPerSecond / sources.sampleRate;
            plan.sources.push_back(source);
            at = sources.cuts[i];
        }
        plan.totalFrames = at;
        return plan;
    }

    static MediaResult join(const RenderPlan& plan, const std::string& output, int workers)
    {
        RenderProgress progress;
        RenderOptions options;
        options.workers = workers;
        return renderJoin(plan, output, progress, {}, options);
    }

    // The sources' own samples, one after another.
    static std::vector<std::int32_t> joinedSources(const RenderPlan& plan)
    {
        std::vector<std::int32_t> joined;
        for (const PlannedSource& source : plan.sources) {
            std::string warnings;
            const std::vector<std::int32_t> part = decodeToInt32(source.path, warnings);
            joined.insert(joined.end(), part.begin(), part.end());
        }
        return joined;
    }

    QTemporaryDir folder_;
};

struct FlacCase {
    const char* name;
    Sources sources;
};

void PrintTo(const FlacCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class FlacStretches : public StretchJoin, public ::testing::WithParamInterface<FlacCase> {};

// Every sample as the sources have it, across every stretch boundary; a file
// that the reference decoder accepts whole (frame checksums, MD5 sum), and
// the very file one encoder writes.
TEST_P(FlacStretches, DecodeToTheSourcesSampleForSample)
{
    const RenderPlan plan = makeSources(GetParam().sources, Encoding::Flac);
    ASSERT_FALSE(HasFailure());
    const std::vector<std::int32_t> reference = joinedSources(plan);
    ASSERT_EQ(static_cast<std::int64_t>(reference.size()), plan.totalFrames * plan.format.channels);

    const std::string alone = pathOf("alone.flac");
    ASSERT_EQ(join(plan, alone, 1), result::kOk);
    const std::string aloneBytes = testmedia::readBytes(alone);
    for (const int workers : {2, 3}) {
        SCOPED_TRACE(std::to_string(workers) + " workers");
        const std::string output = pathOf("joined" + std::to_string(workers) + ".flac");
        ASSERT_EQ(join(plan, output, workers), result::kOk);
        std::string warnings;
        const std::vector<std::int32_t> decoded = decodeToInt32(output, warnings);
        EXPECT_EQ(warnings, "");
        ASSERT_EQ(decoded.size(), reference.size());
        const auto differs = std::mismatch(decoded.begin(), decoded.end(), reference.begin());
        EXPECT_TRUE(differs.first == decoded.end())
            << "first differing sample at frame " << (differs.first - decoded.begin()) / plan.format.channels;
        EXPECT_EQ(testmedia::flacTestFailure(output), "");
        EXPECT_EQ(flacTotalSamples(output), plan.totalFrames);
        EXPECT_TRUE(testmedia::readBytes(output) == aloneBytes) << "differs from one encoder's file";
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, FlacStretches,
                         ::testing::Values(FlacCase{"Stereo16At44100", {44100, 2, 16, false, {100'003, 400'017, 700'001}}},
                                           FlacCase{"Mono24At48000", {48000, 1, 24, false, {300'001, 600'007}}},
                                           FlacCase{"Stereo24At96000", {96000, 2, 24, true, {777'777}}}),
                         [](const auto& tested) { return std::string(tested.param.name); });

struct Mp3Case {
    const char* name;
    Sources sources;
    int bitRateKbps; // 0: the MP3 writer's own VBR quality
};

void PrintTo(const Mp3Case& tested, std::ostream* out)
{
    *out << tested.name;
}

// The error against the sources: over the whole join, and the largest
// energy of the error over any 50 ms.
struct ErrorMeasure {
    double snrDb = 0.0;
    double worstWindow = 0.0;
};

ErrorMeasure measureError(const std::vector<float>& reference, const std::vector<float>& tested, int channels,
                          int sampleRate)
{
    ErrorMeasure measure;
    double signal = 0.0;
    double noise = 0.0;
    const auto window = static_cast<std::size_t>(sampleRate / 20 * channels);
    double inWindow = 0.0;
    for (std::size_t i = 0; i < reference.size(); ++i) {
        const double error = double(tested[i]) - reference[i];
        signal += double(reference[i]) * reference[i];
        noise += error * error;
        inWindow += error * error;
        if (i >= window) {
            const double leaving = double(tested[i - window]) - reference[i - window];
            inWindow -= leaving * leaving;
        }
        measure.worstWindow = std::max(measure.worstWindow, inWindow);
    }
    measure.snrDb = 10.0 * std::log10(signal / std::max(noise, 1e-30));
    return measure;
}

class Mp3Stretches : public StretchJoin, public ::testing::WithParamInterface<Mp3Case> {};

// As close to the sources as LAME alone over the whole join and in its
// worst 50 ms, exactly as long, and valid as ffmpeg and mp3val see it.
TEST_P(Mp3Stretches, SoundAsCloseToTheSourcesAsOneEncoder)
{
    const Mp3Case& tested = GetParam();
    const RenderPlan plan = makeSources(tested.sources, Encoding::Mp3, tested.bitRateKbps);
    ASSERT_FALSE(HasFailure());
    const int channels = plan.format.channels;
    std::vector<float> reference;
    for (const PlannedSource& source : plan.sources) {
        // Plain WAV sources give no channel layout: ffmpeg warns that it guesses one.
        const Decoded part = decodeWithFfmpeg(source.path);
        reference.insert(reference.end(), part.samples.begin(), part.samples.end());
    }
    ASSERT_EQ(static_cast<std::int64_t>(reference.size()), plan.totalFrames * channels);

    const std::string alone = pathOf("alone.mp3");
    const MediaResult aloneJoined = join(plan, alone, 1);
    if (aloneJoined == result::kNoEncoder)
        GTEST_SKIP() << "this FFmpeg has no MP3 encoder";
    ASSERT_EQ(aloneJoined, result::kOk);
    const Decoded aloneDecoded = decodeWithFfmpeg(alone);
    ASSERT_EQ(aloneDecoded.samples.size(), reference.size());
    const ErrorMeasure byOne = measureError(reference, aloneDecoded.samples, channels, plan.format.sampleRate);

    for (const int workers : {2, 3}) {
        SCOPED_TRACE(std::to_string(workers) + " workers");
        const std::string output = pathOf("joined" + std::to_string(workers) + ".mp3");
        ASSERT_EQ(join(plan, output, workers), result::kOk);
        const Decoded decoded = decodeWithFfmpeg(output);
        EXPECT_EQ(decoded.warnings, "");
        ASSERT_EQ(decoded.samples.size(), reference.size());
        const ErrorMeasure byStretches = measureError(reference, decoded.samples, channels, plan.format.sampleRate);
        EXPECT_GE(byStretches.snrDb, byOne.snrDb - kMostSnrLossDb) << "LAME alone: " << byOne.snrDb << " dB";
        EXPECT_LE(byStretches.worstWindow, kMostWorstErrorRatio * byOne.worstWindow)
            << "LAME alone's worst: " << byOne.worstWindow;
        RecordProperty("snr_db_" + std::to_string(workers),
                       std::to_string(byStretches.snrDb) + " against " + std::to_string(byOne.snrDb));
        RecordProperty("worst_50ms_" + std::to_string(workers),
                       std::to_string(byStretches.worstWindow) + " against " + std::to_string(byOne.worstWindow));

        const Tool checked = runTool("mp3val", {QString::fromStdString(output)});
        ASSERT_EQ(checked.exitCode, 0) << "mp3val (Debian package mp3val) could not run";
        EXPECT_FALSE(checked.out.contains("WARNING") || checked.out.contains("ERROR")) << checked.out.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Mp3Stretches,
    ::testing::Values(Mp3Case{"VbrStereoAt44100", {44100, 2, 16, true, {100'003, 400'017, 700'001}}, 0},
                      Mp3Case{"Cbr128MonoAt48000", {48000, 1, 16, true, {350'001, 700'007}}, 128},
                      Mp3Case{"Mpeg2VbrStereoAt22050", {22050, 2, 16, true, {200'001, 450'003}}, 0}),
    [](const auto& tested) { return std::string(tested.param.name); });

} // namespace
} // namespace kestrine::testing

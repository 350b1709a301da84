// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/mp3_frame_join.h"
#include "media/copying/mp3_join_writing.h"
#include "tests/media/join_measures.h"
#include "tests/media/mp3_sources.h"
#include "tests/support/run_tool.h"
#include "tests/support/test_media.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <set>

// Joins of MP3 files that copy the sources' frames: exact as a decoder that
// honours the LAME tag plays them, valid as other programs see them, and
// made of the sources' own frames but for a few around each join.
namespace kestrine::testing {
namespace {

// Frames around a join that are encoded anew, or decode with another
// frame before them: past these, the join plays the sources' very samples.
constexpr int kJoinReachFrames = 3;
constexpr double kLeastJoinSnrDb = 15.0;

// The frames of an MP3 file, each as its bytes.
std::vector<std::string> framesOf(const std::string& path)
{
    const std::string bytes = testmedia::readBytes(path);
    Mp3SourceFrames frames;
    scanMp3Frames(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), frames);
    std::vector<std::string> each;
    for (const Mp3Frame& frame : frames.frames)
        each.push_back(bytes.substr(frame.offset, static_cast<std::size_t>(frame.header.frameBytes)));
    return each;
}

struct JoinCase {
    const char* name;
    Mp3SourceSpec spec;
    std::vector<std::int64_t> cuts; // where the chirp is cut into sources, the last being its end
    double leastCopiedShare;        // of the output's frames, byte for byte from a source
};

void PrintTo(const JoinCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class Mp3FrameJoinTable : public ::testing::TestWithParam<JoinCase> {
protected:
    std::string pathOf(const std::string& name) const { return folder_.path().toStdString() + "/" + name; }

    // The chirp cut at `cuts` into MP3 sources, and the plan that joins them.
    RenderPlan makeSources(const JoinCase& tested)
    {
        RenderPlan plan;
        plan.format = OutputFormat{tested.spec.sampleRate, tested.spec.channels, 16, Encoding::Mp3};
        plan.withMarkers = false;
        std::int64_t at = 0;
        for (std::size_t i = 0; i < tested.cuts.size(); ++i) {
            PlannedSource source;
            source.path = pathOf("part" + std::to_string(i) + ".mp3");
            const std::string made = writeMp3Chirp(source.path, tested.spec, at, tested.cuts[i]);
            EXPECT_TRUE(made.empty()) << made;
            source.firstFrame = at;
            source.endFrame = tested.cuts[i];
            source.mediaStop = (source.endFrame - at) * 10'000'000 / tested.spec.sampleRate;
            plan.sources.push_back(source);
            at = tested.cuts[i];
        }
        plan.totalFrames = at;
        return plan;
    }

    QTemporaryDir folder_;
};

TEST_P(Mp3FrameJoinTable, CopiesFramesAndStaysExact)
{
    const JoinCase& tested = GetParam();
    const RenderPlan plan = makeSources(tested);
    ASSERT_FALSE(HasFailure());
    std::unique_ptr<Mp3FrameJoin> join;
    std::string reason;
    ASSERT_EQ(Mp3FrameJoin::plan(plan, join, reason), result::kOk);
    ASSERT_TRUE(join) << reason;
    const std::string output = pathOf("joined.mp3");
    RenderProgress progress;
    ASSERT_EQ(writeMp3FrameJoin(plan, *join, output, progress, {}), result::kOk);
    EXPECT_EQ(progress.framesComplete.load(), plan.totalFrames);

    const int channels = tested.spec.channels;
    Decoded joined = decodeWithFfmpeg(output);
    EXPECT_EQ(joined.warnings, "");
    std::vector<float> reference;
    for (const PlannedSource& source : plan.sources) {
        const Decoded part = decodeWithFfmpeg(source.path);
        ASSERT_EQ(part.warnings, "");
        ASSERT_EQ(static_cast<std::int64_t>(part.samples.size()), (source.endFrame - source.firstFrame) * channels);
        reference.insert(reference.end(), part.samples.begin(), part.samples.end());
    }
    // Exactly the sources' length.
    ASSERT_EQ(joined.samples.size(), reference.size());

    // Away from the joins, the sources' very samples.
    const std::int64_t spf = tested.spec.sampleRate >= 32000 ? 1152 : 576;
    const std::int64_t reach = kJoinReachFrames * spf;
    std::vector<std::int64_t> joins;
    for (std::size_t i = 0; i + 1 < plan.sources.size(); ++i)
        joins.push_back(plan.sources[i].endFrame);
    std::int64_t differing = 0;
    for (std::int64_t n = 0; n < plan.totalFrames; ++n) {
        bool nearJoin = false;
        for (const std::int64_t at : joins)
            nearJoin = nearJoin || std::llabs(n - at) < reach;
        if (nearJoin)
            continue;
        for (int c = 0; c < channels; ++c) {
            const std::size_t i = static_cast<std::size_t>(n * channels + c);
            differing += joined.samples[i] != reference[i];
        }
    }
    EXPECT_EQ(differing, 0);

    // At each join: no gap, no overlap, no click.
    for (const std::int64_t at : joins) {
        SCOPED_TRACE("join at sample " + std::to_string(at));
        EXPECT_EQ(bestLag(reference, joined.samples, channels, at - reach / 2, at + reach / 2, 40), 0);
        const double snr = snrDb(reference, joined.samples, static_cast<std::size_t>((at - reach) * channels),
                                 static_cast<std::size_t>((at + reach) * channels));
        EXPECT_GE(snr, kLeastJoinSnrDb);
        RecordProperty("snr_db_at_" + std::to_string(at), std::to_string(snr));
    }

    // Made of the sources' own frames.
    std::set<std::string> sourceFrames;
    for (const PlannedSource& source : plan.sources)
        for (std::string& frame : framesOf(source.path))
            sourceFrames.insert(std::move(frame));
    const std::vector<std::string> outputFrames = framesOf(output);
    ASSERT_EQ(static_cast<std::int64_t>(outputFrames.size()), join->outputFrames());
    std::size_t copied = 0;
    for (const std::string& frame : outputFrames)
        copied += sourceFrames.count(frame);
    RecordProperty("frames_copied", std::to_string(copied) + " of " + std::to_string(outputFrames.size()));
    EXPECT_GE(double(copied) / double(outputFrames.size()), tested.leastCopiedShare)
        << copied << " of " << outputFrames.size();

    // What mp3val says.
    const Tool checked = runTool("mp3val", {QString::fromStdString(output)});
    ASSERT_EQ(checked.exitCode, 0) << "mp3val (Debian package mp3val) could not run";
    EXPECT_FALSE(checked.out.contains("WARNING") || checked.out.contains("ERROR")) << checked.out.toStdString();
}

constexpr std::int64_t kFrame = 1152;

INSTANTIATE_TEST_SUITE_P(
    Streams, Mp3FrameJoinTable,
    ::testing::Values(
        JoinCase{"Cbr44100Stereo", {44100, 2, 128, true}, {60 * kFrame, 130 * kFrame, 130 * kFrame + 30'001}, 0.9},
        JoinCase{"Cbr48000Mono", {48000, 1, 96, true}, {50 * kFrame, 120 * kFrame, 170 * kFrame}, 0.9},
        JoinCase{"Vbr44100Mono", {44100, 1, 0, true}, {70 * kFrame, 71 * kFrame + 7 * kFrame, 150 * kFrame}, 0.9},
        JoinCase{"Cbr160NoiseAt44100Stereo", {44100, 2, 160, true, true}, {50 * kFrame, 100 * kFrame, 150 * kFrame}, 0.9},
        JoinCase{"Vbr48000Stereo", {48000, 2, 0, true}, {45 * kFrame, 140 * kFrame, 140 * kFrame + 12'345}, 0.9}),
    [](const auto& tested) { return std::string(tested.param.name); });

} // namespace
} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/mp3_frame_join.h"
#include "media/copying/mp3_join_writing.h"
#include "tests/media/mp3_sources.h"
#include "tests/support/encoded_media.h"
#include "tests/support/test_media.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <thread>

// Which MP3 joins copy frames, and what a copying join keeps of everything
// else a join writes: markers, tags, the partial file, a stop.
namespace kestrine::testing {
namespace {

constexpr std::int64_t kFrame = 1152;

class Mp3JoinRoads : public ::testing::Test {
protected:
    std::string pathOf(const std::string& name) const { return folder_.path().toStdString() + "/" + name; }

    // Consecutive stretches of the chirp, cut at frame boundaries.
    RenderPlan planOf(const std::vector<std::int64_t>& cuts, const Mp3SourceSpec& spec = {})
    {
        RenderPlan plan;
        plan.format = OutputFormat{spec.sampleRate, spec.channels, 16, Encoding::Mp3};
        std::int64_t at = 0;
        for (std::size_t i = 0; i < cuts.size(); ++i) {
            PlannedSource source;
            source.path = pathOf("part" + std::to_string(i) + ".mp3");
            const std::string made = writeMp3Chirp(source.path, spec, at, cuts[i]);
            EXPECT_TRUE(made.empty()) << made;
            source.firstFrame = at;
            source.endFrame = cuts[i];
            source.mediaStop = (cuts[i] - at) * 10'000'000 / spec.sampleRate;
            plan.sources.push_back(source);
            at = cuts[i];
        }
        plan.totalFrames = at;
        return plan;
    }

    // Why `plan` is not copied; empty when it is.
    static std::string reasonAgainst(const RenderPlan& plan)
    {
        std::unique_ptr<Mp3FrameJoin> join;
        std::string reason;
        EXPECT_EQ(Mp3FrameJoin::plan(plan, join, reason), result::kOk);
        EXPECT_EQ(join == nullptr, !reason.empty());
        return reason;
    }

    QTemporaryDir folder_;
};

// Never a guessed delay, a damaged frame copied, or a frame of another
// format: each of these joins is encoded, and says why.
TEST_F(Mp3JoinRoads, SourcesThatCannotBeCopiedExactlySendTheJoinToTheEncoder)
{
    const RenderPlan copyable = planOf({40 * kFrame, 80 * kFrame});
    ASSERT_EQ(reasonAgainst(copyable), "");

    RenderPlan untagged = copyable;
    untagged.sources[1].path = pathOf("untagged.mp3");
    ASSERT_EQ(writeMp3Chirp(untagged.sources[1].path, {44100, 2, 128, false}, 40 * kFrame, 80 * kFrame), "");

    RenderPlan damaged = copyable;
    damaged.sources[1].path = pathOf("damaged.mp3");
    std::string bytes = testmedia::readBytes(copyable.sources[1].path);
    Mp3SourceFrames frames;
    scanMp3Frames(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), frames);
    bytes.replace(frames.frames[20].offset, 4, "\x12\x34\x56\x78", 4);
    ASSERT_TRUE(testmedia::writeBytes(damaged.sources[1].path, bytes));

    RenderPlan wav = copyable;
    testmedia::ToneSpec tone;
    tone.frames = 40 * kFrame;
    const testmedia::Generated made = testmedia::writeTone(folder_.path().toStdString(), "tone",
                                                           testmedia::MediaFormat::WavS16, tone);
    ASSERT_TRUE(made) << made.message;
    wav.sources[1].path = made.path;

    // Cut off a frame boundary: the second file's frames would play its
    // samples 100 samples early.
    RenderPlan offGrid = copyable;
    offGrid.sources[0].path = pathOf("offgrid0.mp3");
    offGrid.sources[1].path = pathOf("offgrid1.mp3");
    offGrid.sources[0].endFrame = offGrid.sources[1].firstFrame = 40 * kFrame + 100;
    ASSERT_EQ(writeMp3Chirp(offGrid.sources[0].path, {}, 0, 40 * kFrame + 100), "");
    ASSERT_EQ(writeMp3Chirp(offGrid.sources[1].path, {}, 40 * kFrame + 100, 80 * kFrame), "");

    RenderPlan otherRate = copyable;
    otherRate.format.sampleRate = 48000;
    RenderPlan trimmed = copyable;
    trimmed.sources[1].mediaStart = 10'000;

    struct Case {
        const char* what;
        const RenderPlan& plan;
        std::string reason;
    };
    for (const Case& tested : {Case{"no LAME tag", untagged, "untagged.mp3 has no LAME tag giving its encoder delay and padding"},
                               Case{"a damaged frame", damaged, "damaged.mp3 has a damaged frame"},
                               Case{"off the frame grid", offGrid, "offgrid1.mp3 was not cut where the join's frames fall"},
                               Case{"no MP3 at all", wav, "tone.wav holds no MP3 frames where its sound starts"},
                               Case{"another rate", otherRate, "part0.mp3 differs from the output in its sample rate or channels"},
                               Case{"a part of a file", trimmed, "part1.mp3 is not joined whole, right after the file before it"}})
        EXPECT_EQ(reasonAgainst(tested.plan), tested.reason) << tested.what;
}

TEST_F(Mp3JoinRoads, CopiedJoinKeepsMarkersAndTags)
{
    RenderPlan plan = planOf({40 * kFrame, 80 * kFrame, 80 * kFrame + 5000});
    plan.withMarkers = true;
    plan.sourceTitles = {"Intro", "Talk", "Outro"};
    plan.tags.fields = {{"album", "Copied Album"}, {"artist", "Someone"}};
    std::unique_ptr<Mp3FrameJoin> join;
    std::string reason;
    ASSERT_EQ(Mp3FrameJoin::plan(plan, join, reason), result::kOk);
    ASSERT_TRUE(join) << reason;
    RenderProgress progress;
    const std::string output = pathOf("joined.mp3");
    ASSERT_EQ(writeMp3FrameJoin(plan, *join, output, progress, {}), result::kOk);

    const std::vector<testmedia::Chapter> chapters = testmedia::chaptersOf(output);
    ASSERT_EQ(chapters.size(), 3u);
    EXPECT_EQ(chapters[0].title, "Intro");
    EXPECT_EQ(chapters[1].title, "Talk");
    EXPECT_EQ(chapters[1].ms, (40 * kFrame * 1000 + 22050) / 44100);
    EXPECT_EQ(chapters[2].title, "Outro");
    const Tool probed = runTool("ffprobe", {"-v", "error", "-show_entries", "format_tags=album,artist", "-of",
                                            "default=noprint_wrappers=1", QString::fromStdString(output)});
    EXPECT_TRUE(probed.out.contains("TAG:album=Copied Album")) << probed.out.toStdString();
    EXPECT_TRUE(probed.out.contains("TAG:artist=Someone")) << probed.out.toStdString();
    EXPECT_EQ(testmedia::playedFrames(output, Encoding::Mp3), plan.totalFrames);
    const Tool checked = runTool("mp3val", {QString::fromStdString(output)});
    EXPECT_FALSE(checked.out.contains("WARNING") || checked.out.contains("ERROR")) << checked.out.toStdString();
}

// Stopped midway, the output is a valid MP3 of the join's start, as long as
// the join says, and no partial file is left beside it.
TEST_F(Mp3JoinRoads, StoppedJoinLeavesValidShorterFile)
{
    std::vector<std::int64_t> cuts;
    for (int i = 1; i <= 8; ++i)
        cuts.push_back(i * 150 * kFrame);
    const RenderPlan plan = planOf(cuts);
    std::unique_ptr<Mp3FrameJoin> join;
    std::string reason;
    ASSERT_EQ(Mp3FrameJoin::plan(plan, join, reason), result::kOk);
    ASSERT_TRUE(join) << reason;
    const std::string output = pathOf("joined.mp3");
    RenderProgress progress;
    std::stop_source stop;
    std::jthread stopper([&] {
        while (progress.framesComplete.load() < 3 * 150 * kFrame && !stop.stop_requested())
            std::this_thread::yield();
        stop.request_stop();
    });
    const MediaResult ended = writeMp3FrameJoin(plan, *join, output, progress, stop.get_token());
    stop.request_stop();
    ASSERT_EQ(ended, result::kStopped);
    const std::int64_t complete = progress.framesComplete.load();
    EXPECT_GT(complete, 0);
    EXPECT_LT(complete, plan.totalFrames);

    struct stat partial {};
    EXPECT_NE(::stat((output + ".part").c_str(), &partial), 0);
    const Decoded decoded = decodeWithFfmpeg(output);
    EXPECT_EQ(decoded.warnings, "");
    EXPECT_EQ(static_cast<std::int64_t>(decoded.samples.size()), complete * 2);
    const Decoded first = decodeWithFfmpeg(plan.sources[0].path);
    for (std::size_t i = 0; i < first.samples.size() - 4 * kFrame * 2; ++i)
        ASSERT_EQ(decoded.samples[i], first.samples[i]) << "sample " << i / 2;
    const Tool checked = runTool("mp3val", {QString::fromStdString(output)});
    EXPECT_FALSE(checked.out.contains("WARNING") || checked.out.contains("ERROR")) << checked.out.toStdString();
}

TEST_F(Mp3JoinRoads, JoinStoppedBeforeAnySoundLeavesNothing)
{
    const RenderPlan plan = planOf({40 * kFrame, 80 * kFrame});
    std::unique_ptr<Mp3FrameJoin> join;
    std::string reason;
    ASSERT_EQ(Mp3FrameJoin::plan(plan, join, reason), result::kOk);
    ASSERT_TRUE(join) << reason;
    const std::string output = pathOf("joined.mp3");
    ASSERT_TRUE(testmedia::writeBytes(output, "older file"));
    RenderProgress progress;
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(writeMp3FrameJoin(plan, *join, output, progress, stop.get_token()), result::kStopped);
    EXPECT_EQ(testmedia::readBytes(output), "older file");
    struct stat partial {};
    EXPECT_NE(::stat((output + ".part").c_str(), &partial), 0);
}

} // namespace
} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/aac_frame_join.h"
#include "media/copying/aac_join_copier.h"
#include "media/render_job.h"
#include "tests/media/aac_sources.h"
#include "tests/support/encoded_media.h"
#include "tests/support/test_media.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <thread>

// Which M4A joins copy access units, and what a copying join keeps of
// everything else a join writes: chapters, tags, the partial file, a stop.
namespace kestrine::testing {
namespace {

constexpr std::int64_t kUnit = 1024;

class AacJoinRoads : public ::testing::Test {
protected:
    std::string pathOf(const std::string& name) const { return folder_.path().toStdString() + "/" + name; }

    // The parts of one encoding of the chirp, cut at `cuts` by copying.
    RenderPlan planOf(const std::vector<std::int64_t>& cuts, const AacSourceSpec& spec = {},
                      Encoding encoding = Encoding::M4a, const std::string& folder = {})
    {
        const auto pathOf = [&](const std::string& name) {
            return (folder.empty() ? folder_.path().toStdString() : folder) + "/" + name;
        };
        RenderPlan plan;
        plan.format = OutputFormat{spec.sampleRate, spec.channels, 16, encoding};
        const std::string whole = pathOf("whole.m4a");
        const std::string madeWhole = writeAacChirp(whole, spec, 0, cuts.back());
        EXPECT_TRUE(madeWhole.empty()) << madeWhole;
        std::int64_t at = 0;
        for (std::size_t i = 0; i < cuts.size(); ++i) {
            PlannedSource source;
            source.path = pathOf("part" + std::to_string(i) + ".m4a");
            const std::string made = cutAacPart(whole, source.path, at, cuts[i]);
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
        std::unique_ptr<AacFrameJoin> join;
        std::string reason;
        EXPECT_EQ(AacFrameJoin::plan(plan, join, reason), result::kOk);
        EXPECT_EQ(join == nullptr, !reason.empty());
        return reason;
    }

    // A copy of `plan` whose second source is `path`, made by `make`.
    RenderPlan withSecond(const RenderPlan& plan, const std::string& name, const std::string& made)
    {
        EXPECT_EQ(made, "") << name;
        RenderPlan changed = plan;
        changed.sources[1].path = pathOf(name);
        return changed;
    }

    QTemporaryDir folder_;
};

// Never a guessed priming or length, a profile other than LC, or a unit of
// another codec: each of these joins is encoded, and says why.
TEST_F(AacJoinRoads, SourcesThatCannotBeCopiedExactlySendTheJoinToTheEncoder)
{
    const RenderPlan copyable = planOf({40 * kUnit + 100, 90 * kUnit + 7});
    ASSERT_EQ(reasonAgainst(copyable), "");
    const AacSourceSpec spec;
    const std::int64_t first = copyable.sources[1].firstFrame;
    const std::int64_t end = copyable.sources[1].endFrame;

    const RenderPlan adts = withSecond(copyable, "adts.aac", writeAacChirp(pathOf("adts.aac"), spec, first, end));
    const RenderPlan noEditList = withSecond(copyable, "unedited.m4a",
                                             writeAacChirp(pathOf("unedited.m4a"), spec, first, end,
                                                           {"-use_editlist", "0"}));
    const RenderPlan mainProfile = withSecond(copyable, "main.m4a",
                                              writeAacChirp(pathOf("main.m4a"), spec, first, end,
                                                            {"-profile:a", "aac_main"}));
    const RenderPlan mp3 = withSecond(copyable, "part.mp3", writeMp3Chirp(pathOf("part.mp3"), {}, first, end));
    // Encoded on its own after a part that does not end on a unit: its
    // units would play its samples 100 samples early.
    const RenderPlan offGrid = withSecond(copyable, "ongrid-not.m4a",
                                          writeAacChirp(pathOf("ongrid-not.m4a"), spec, first, end));
    RenderPlan otherRate = copyable;
    otherRate.format.sampleRate = 48000;
    RenderPlan trimmed = copyable;
    trimmed.sources[1].mediaStart = 10'000;
    RenderPlan longer = copyable;
    longer.sources[1].endFrame = longer.totalFrames = end + 2000;
    // A sample table that gives one unit 3 MB.
    std::string table = testmedia::readBytes(copyable.sources[1].path);
    const std::size_t sizes = table.find("stsz") + 4 + 4 + 4 + 4;
    table.replace(sizes + 5 * 4, 4, std::string("\x00\x30\x00\x00", 4));
    const RenderPlan oversized = withSecond(copyable, "oversized.m4a",
                                            testmedia::writeBytes(pathOf("oversized.m4a"), table) ? "" : "not written");
    // Its sound cut short, its table still listing every unit: the table is
    // at the start of a file made for streaming.
    const std::string streamable = pathOf("streamable.m4a");
    ASSERT_EQ(writeAacChirp(streamable, spec, first, end, {"-movflags", "+faststart"}), "");
    const std::string whole = testmedia::readBytes(streamable);
    const RenderPlan cutShort =
        withSecond(copyable, "cut-short.m4a",
                   testmedia::writeBytes(pathOf("cut-short.m4a"), whole.substr(0, whole.size() - 5000)) ? ""
                                                                                                       : "not written");
    // Files of under two units each, one after another for six seconds:
    // every unit of them would be encoded anew.
    std::vector<std::int64_t> tinyCuts;
    for (std::int64_t at = 2000; at <= 140 * 2000; at += 2000)
        tinyCuts.push_back(at);
    QTemporaryDir tinyFolder;
    const RenderPlan tiny = planOf(tinyCuts, {}, Encoding::M4a, tinyFolder.path().toStdString());

    struct Case {
        const char* what;
        const RenderPlan& plan;
        std::string reason;
    };
    for (const Case& tested :
         {Case{"ADTS", adts, "adts.aac holds AAC outside an MP4 file, which states no encoder priming"},
          Case{"no edit list", noEditList, "unedited.m4a states no encoder priming (it has no edit list)"},
          Case{"AAC Main", mainProfile, "main.m4a holds AAC of another profile than LC"},
          Case{"MP3 among M4A", mp3, "part.mp3 holds no AAC"},
          Case{"off the unit grid", offGrid, "ongrid-not.m4a was not cut where the join's access units fall"},
          Case{"another rate", otherRate, "part0.m4a differs from the output in its sample rate or channels"},
          Case{"a part of a file", trimmed, "part1.m4a is not joined whole, right after the file before it"},
          Case{"longer than stated", longer, "part1.m4a plays another length than its edit list states"},
          Case{"many tiny files", tiny, "the join's files are too short to copy"},
          Case{"a unit larger than AAC allows", oversized, "oversized.m4a has a damaged access unit"},
          Case{"cut short", cutShort, "cut-short.m4a is cut short of the units its table lists"}})
        EXPECT_EQ(reasonAgainst(tested.plan), tested.reason) << tested.what;
}

// A join of parts goes down the copy road from renderJoin, as kestrine-join
// and the window start it, to M4A and to M4B; --reencode sends it to the encoder.
TEST_F(AacJoinRoads, RenderJoinCopiesUnlessAskedToReencode)
{
    for (const Encoding encoding : {Encoding::M4a, Encoding::M4b})
        for (const bool reencode : {false, true}) {
            SCOPED_TRACE(std::string(encoding == Encoding::M4a ? "m4a" : "m4b") + (reencode ? ", reencoded" : ""));
            RenderPlan plan = planOf({40 * kUnit + 300, 80 * kUnit + 3000}, {}, encoding);
            plan.request.reencode = reencode;
            RenderProgress progress;
            const std::string output = pathOf(std::string("joined") + (encoding == Encoding::M4a ? ".m4a" : ".m4b"));
            ASSERT_EQ(renderJoin(plan, output, progress, {}), result::kOk);
            EXPECT_EQ(progress.road.load(), reencode ? JoinRoad::Encode : JoinRoad::Copy);
            EXPECT_EQ(statedFrames(output), plan.totalFrames);
            EXPECT_EQ(testmedia::playedFrames(output, encoding), plan.totalFrames);
        }
}

// A unit damaged in the middle of a source, where units are copied without
// being decoded: the join is made again on the encode road, whose decoder
// deals with the damage, and no unit of it reaches the output.
TEST_F(AacJoinRoads, DamagedSourceIsJoinedOnTheEncodeRoad)
{
    const RenderPlan plan = planOf({40 * kUnit + 100, 160 * kUnit + 7});
    ASSERT_EQ(reasonAgainst(plan), "");
    std::string bytes = testmedia::readBytes(plan.sources[1].path);
    const std::size_t middle = bytes.find("mdat") + bytes.size() / 2 / 2;
    for (std::size_t i = 0; i < 3000; ++i)
        bytes[middle + i] = static_cast<char>((i * 7919 + 13) >> 3);
    ASSERT_TRUE(testmedia::writeBytes(plan.sources[1].path, bytes));
    ASSERT_EQ(reasonAgainst(plan), "") << "the damage lies among units copied unread";

    RenderProgress progress;
    const std::string output = pathOf("joined.m4a");
    const MediaResult joined = renderJoin(plan, output, progress, {});
    EXPECT_EQ(progress.road.load(), JoinRoad::Encode);
    struct stat partial {};
    EXPECT_NE(::stat((output + ".part").c_str(), &partial), 0);
    if (joined == result::kOk) {
        EXPECT_EQ(decodeWithFfmpeg(output).warnings, "");
        EXPECT_EQ(statedFrames(output), plan.totalFrames);
    } else {
        // Or a clear failure, and no output at all.
        EXPECT_NE(::stat(output.c_str(), &partial), 0);
    }
}

TEST_F(AacJoinRoads, CopiedJoinKeepsChaptersAndTags)
{
    RenderPlan plan = planOf({40 * kUnit + 11, 80 * kUnit + 22, 80 * kUnit + 5000}, {}, Encoding::M4b);
    plan.withMarkers = true;
    plan.sourceTitles = {"Intro", "Talk", "Outro"};
    plan.tags.fields = {{"album", "Copied Album"}, {"artist", "Someone"}};
    RenderProgress progress;
    const std::string output = pathOf("joined.m4b");
    ASSERT_EQ(renderJoin(plan, output, progress, {}), result::kOk);
    ASSERT_EQ(progress.road.load(), JoinRoad::Copy);

    const std::vector<testmedia::Chapter> chapters = testmedia::chaptersOf(output);
    ASSERT_EQ(chapters.size(), 3u);
    EXPECT_EQ(chapters[0].title, "Intro");
    EXPECT_EQ(chapters[1].title, "Talk");
    EXPECT_EQ(chapters[1].ms, ((40 * kUnit + 11) * 1000 + 22050) / 44100);
    EXPECT_EQ(chapters[2].title, "Outro");
    const Tool probed = runTool("ffprobe", {"-v", "error", "-show_entries", "format_tags=album,artist,major_brand",
                                            "-of", "default=noprint_wrappers=1", QString::fromStdString(output)});
    EXPECT_TRUE(probed.out.contains("TAG:album=Copied Album")) << probed.out.toStdString();
    EXPECT_TRUE(probed.out.contains("TAG:artist=Someone")) << probed.out.toStdString();
    EXPECT_TRUE(probed.out.contains("TAG:major_brand=M4B")) << probed.out.toStdString();
    EXPECT_EQ(statedFrames(output), plan.totalFrames);
    EXPECT_EQ(decodeWithFfmpeg(output).warnings, "");
}

// Stopped midway, the output is a valid M4A of the join's start, as long as
// the join says, and no partial file is left beside it.
TEST_F(AacJoinRoads, StoppedJoinLeavesValidShorterFile)
{
    std::vector<std::int64_t> cuts;
    for (int i = 1; i <= 6; ++i)
        cuts.push_back(i * 150 * kUnit + 333 * i);
    const RenderPlan plan = planOf(cuts);
    std::unique_ptr<AacFrameJoin> join;
    std::string reason;
    ASSERT_EQ(AacFrameJoin::plan(plan, join, reason), result::kOk);
    ASSERT_TRUE(join) << reason;
    const std::string output = pathOf("joined.m4a");
    RenderProgress progress;
    std::stop_source stop;
    std::jthread stopper([&] {
        while (progress.framesComplete.load() < 3 * 150 * kUnit && !stop.stop_requested())
            std::this_thread::yield();
        stop.request_stop();
    });
    const MediaResult ended = writeAacFrameJoin(plan, *join, output, progress, stop.get_token());
    stop.request_stop();
    ASSERT_EQ(ended, result::kStopped);
    const std::int64_t complete = progress.framesComplete.load();
    EXPECT_GT(complete, 0);
    EXPECT_LT(complete, plan.totalFrames);

    struct stat partial {};
    EXPECT_NE(::stat((output + ".part").c_str(), &partial), 0);
    EXPECT_EQ(statedFrames(output), complete);
    Decoded decoded = decodeWithFfmpeg(output);
    EXPECT_EQ(decoded.warnings, "");
    ASSERT_GE(static_cast<std::int64_t>(decoded.samples.size()), complete * 2);
    const Decoded first = decodeWithFfmpeg(plan.sources[0].path);
    for (std::size_t i = 0; i < static_cast<std::size_t>(plan.sources[0].endFrame - 4 * kUnit) * 2; ++i)
        ASSERT_EQ(decoded.samples[i], first.samples[i]) << "sample " << i / 2;
}

TEST_F(AacJoinRoads, JoinStoppedBeforeAnySoundLeavesNothing)
{
    const RenderPlan plan = planOf({40 * kUnit + 5, 80 * kUnit});
    std::unique_ptr<AacFrameJoin> join;
    std::string reason;
    ASSERT_EQ(AacFrameJoin::plan(plan, join, reason), result::kOk);
    ASSERT_TRUE(join) << reason;
    const std::string output = pathOf("joined.m4a");
    ASSERT_TRUE(testmedia::writeBytes(output, "older file"));
    RenderProgress progress;
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(writeAacFrameJoin(plan, *join, output, progress, stop.get_token()), result::kStopped);
    EXPECT_EQ(testmedia::readBytes(output), "older file");
    struct stat partial {};
    EXPECT_NE(::stat((output + ".part").c_str(), &partial), 0);
}

} // namespace
} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/duration_probe.h"

#include "tests/support/fake_media_framework.h"

#include <gtest/gtest.h>
#include <mutex>

namespace kestrine::testing {
namespace {

TEST(DurationProbeTest, MeasuresWithAFreshGraphThatIsNeverRun)
{
    FakeMediaFramework fake;
    fake.setDuration("/music/a.mp3", 1'234'567);
    const ProbeOutcome outcome = probeDuration(fake, "/music/a.mp3");
    EXPECT_EQ(outcome.failure, ProbeFailure::None);
    EXPECT_EQ(outcome.duration, 1'234'567);
    EXPECT_EQ(fake.ops(), (std::vector<FakeOp>{FakeOp::CreateFilterGraph, FakeOp::RenderFile,
                                               FakeOp::MediaSeeking, FakeOp::StopPosition}));
}

struct ProbeFailureCase {
    friend void PrintTo(const ProbeFailureCase& tested, std::ostream* out) { *out << tested.name; }
    const char* name;
    FakeOp step;
    ProbeFailure failure;
};

class DurationProbeFailureTest : public ::testing::TestWithParam<ProbeFailureCase> {};

TEST_P(DurationProbeFailureTest, TellsWhichStepFailedAndWithWhatCode)
{
    FakeMediaFramework fake;
    if (GetParam().step == FakeOp::CreateFilterGraph) {
        fake.setDuration("/music/a.mp3", 5);
        fake.failOn(FakeOp::CreateFilterGraph, result::kOutOfMemory);
    } else {
        fake.failProbe("/music/a.mp3", GetParam().step, result::kOutOfMemory);
    }
    const ProbeOutcome outcome = probeDuration(fake, "/music/a.mp3");
    EXPECT_EQ(outcome.failure, GetParam().failure);
    EXPECT_EQ(outcome.result, result::kOutOfMemory);
    EXPECT_EQ(fake.ops().back(), GetParam().step);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, DurationProbeFailureTest,
    ::testing::Values(
        ProbeFailureCase{"Graph", FakeOp::CreateFilterGraph, ProbeFailure::NoGraph},
        ProbeFailureCase{"Render", FakeOp::RenderFile, ProbeFailure::CannotRender},
        ProbeFailureCase{"Seeking", FakeOp::MediaSeeking, ProbeFailure::NoSeeking},
        ProbeFailureCase{"StopPosition", FakeOp::StopPosition, ProbeFailure::NoStopPosition}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST(DurationProbeTest, UnreadableFileCannotBeRendered)
{
    FakeMediaFramework fake;
    const ProbeOutcome outcome = probeDuration(fake, "/music/missing.mp3");
    EXPECT_EQ(outcome.failure, ProbeFailure::CannotRender);
    EXPECT_EQ(outcome.result, result::kCannotOpenSource);
}

std::vector<std::string> manyPaths(int count)
{
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i)
        paths.push_back("/music/" + std::to_string(i) + ".mp3");
    return paths;
}

TEST(DurationProbeTest, ManyFilesComeBackInTheirOwnOrder)
{
    FakeMediaFramework fake;
    const std::vector<std::string> paths = manyPaths(200);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (i % 7 == 3)
            fake.failProbe(paths[i], FakeOp::StopPosition, result::kFail);
        else
            fake.setDuration(paths[i], static_cast<MediaTime>(i) * 1000 + 1);
    }
    std::mutex mutex;
    std::vector<int> reported;
    const auto outcomes = probeDurations(fake, paths, {}, [&](int done) {
        std::lock_guard lock(mutex);
        reported.push_back(done);
    });

    ASSERT_EQ(outcomes.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (i % 7 == 3) {
            EXPECT_EQ(outcomes[i].failure, ProbeFailure::NoStopPosition) << i;
        } else {
            EXPECT_EQ(outcomes[i].failure, ProbeFailure::None) << i;
            EXPECT_EQ(outcomes[i].duration, static_cast<MediaTime>(i) * 1000 + 1) << i;
        }
    }
    // Every file is counted once, up to the total.
    std::sort(reported.begin(), reported.end());
    ASSERT_EQ(reported.size(), paths.size());
    EXPECT_EQ(reported.front(), 1);
    EXPECT_EQ(reported.back(), 200);
    EXPECT_EQ(fake.callCount(FakeOp::CreateFilterGraph), 200);
}

TEST(DurationProbeTest, NothingToMeasureGivesNothing)
{
    FakeMediaFramework fake;
    EXPECT_TRUE(probeDurations(fake, {}).empty());
}

TEST(DurationProbeTest, StopBeforeTheStartMeasuresNothing)
{
    FakeMediaFramework fake;
    std::stop_source stop;
    stop.request_stop();
    const auto outcomes = probeDurations(fake, manyPaths(10), stop.get_token());
    ASSERT_EQ(outcomes.size(), 10u);
    for (const ProbeOutcome& outcome : outcomes)
        EXPECT_EQ(outcome.failure, ProbeFailure::Cancelled);
    EXPECT_EQ(fake.callCount(FakeOp::CreateFilterGraph), 0);
}

TEST(DurationProbeTest, StopOnTheWayLeavesTheRestCancelled)
{
    FakeMediaFramework fake;
    const std::vector<std::string> paths = manyPaths(500);
    for (const std::string& path : paths)
        fake.setDuration(path, 10);
    std::stop_source stop;
    const auto outcomes =
        probeDurations(fake, paths, stop.get_token(), [&](int done) {
            if (done == 5)
                stop.request_stop();
        });
    int measured = 0;
    for (const ProbeOutcome& outcome : outcomes) {
        if (outcome.failure == ProbeFailure::None) {
            EXPECT_EQ(outcome.duration, 10);
            ++measured;
        } else {
            EXPECT_EQ(outcome.failure, ProbeFailure::Cancelled);
        }
    }
    // Each worker finishes at most the file in its hands.
    EXPECT_GE(measured, 5);
    EXPECT_LT(measured, 500);
}

} // namespace
} // namespace kestrine::testing

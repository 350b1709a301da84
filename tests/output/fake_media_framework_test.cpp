// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/support/fake_media_framework.h"

#include <gtest/gtest.h>

namespace kestrine::testing {
namespace {

// The double is what the builder, graph and job-control tests stand on, so its
// scripting must do what it says.
TEST(FakeMediaFrameworkTest, FailOnOccurrenceFailsOnlyThatCall)
{
    FakeMediaFramework fake;
    fake.failOn(FakeOp::CreateTrack, result::kOutOfMemory, 1);
    std::shared_ptr<Timeline> timeline;
    ASSERT_EQ(fake.createTimeline(timeline), result::kOk);
    std::shared_ptr<TimelineTrack> track;
    EXPECT_EQ(timeline->createTrack(track), result::kOk);
    EXPECT_EQ(timeline->createTrack(track), result::kOutOfMemory);
    EXPECT_EQ(timeline->createTrack(track), result::kOk);
    EXPECT_EQ(fake.callCount(FakeOp::CreateTrack), 3);
    EXPECT_EQ(fake.lastTimeline(), timeline);
}

TEST(FakeMediaFrameworkTest, QueuedEventsAreDrainedThroughTheRegisteredNotify)
{
    FakeMediaFramework fake;
    std::shared_ptr<FilterGraph> graph;
    ASSERT_EQ(fake.createFilterGraph(graph), result::kOk);
    std::shared_ptr<MediaEvents> events;
    ASSERT_EQ(graph->mediaEvents(events), result::kOk);
    EXPECT_FALSE(fake.postEvent({kEventComplete, 0, 0}));

    std::vector<int> codes;
    events->setNotify([&] {
        GraphEvent event;
        while (succeeded(events->getEvent(event, 0)))
            codes.push_back(event.code);
    });
    fake.queueEvent({kEventErrorAbort, result::kDiskFull, 0});
    EXPECT_TRUE(fake.fireNotify());
    EXPECT_EQ(codes, (std::vector<int>{kEventComplete, kEventErrorAbort}));
    events->setNotify({});
    EXPECT_FALSE(fake.notifyRegistered());
}

TEST(FakeMediaFrameworkTest, ProbeAnswersScriptedLengthsAndFailures)
{
    FakeMediaFramework fake;
    fake.setDuration("/a.mp3", 42);
    fake.failProbe("/b.mp3", FakeOp::StopPosition, result::kFail);
    std::shared_ptr<FilterGraph> graph;
    ASSERT_EQ(fake.createFilterGraph(graph), result::kOk);
    EXPECT_EQ(graph->renderFile("/unknown.mp3"), result::kCannotOpenSource);
    ASSERT_EQ(graph->renderFile("/a.mp3"), result::kOk);
    std::shared_ptr<MediaSeeking> seeking;
    ASSERT_EQ(graph->mediaSeeking(seeking), result::kOk);
    MediaTime length = 0;
    EXPECT_EQ(seeking->stopPosition(length), result::kOk);
    EXPECT_EQ(length, 42);

    std::shared_ptr<FilterGraph> other;
    ASSERT_EQ(fake.createFilterGraph(other), result::kOk);
    ASSERT_EQ(other->renderFile("/b.mp3"), result::kOk);
    ASSERT_EQ(other->mediaSeeking(seeking), result::kOk);
    EXPECT_EQ(seeking->stopPosition(length), result::kFail);
}

TEST(FakeMediaFrameworkTest, UnknownClassIdentifiersAreNotRegistered)
{
    FakeMediaFramework fake;
    std::shared_ptr<Filter> filter;
    EXPECT_EQ(fake.createFilter("{00000000-0000-0000-0000-000000000000}", filter),
              result::kNotRegistered);
    fake.failCreateFilter(kWaveMuxClassId, result::kNotRegistered);
    EXPECT_EQ(fake.createFilter(kWaveMuxClassId, filter), result::kNotRegistered);
    ASSERT_EQ(fake.createFilter(kFileWriterClassId, filter), result::kOk);
    EXPECT_NE(fake.errorText(result::kFail), fake.errorText(result::kDiskFull));
}

} // namespace
} // namespace kestrine::testing

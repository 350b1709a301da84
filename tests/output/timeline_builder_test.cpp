// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/timeline_builder.h"

#include "tests/support/fake_media_framework.h"
#include "tests/support/recording_dialogs.h"

#include <QFile>
#include <gtest/gtest.h>

namespace kestrine::testing {
namespace {

constexpr MediaTime kSecond = kUnitsPerSecond;

std::vector<ClipItem> itemsOf(std::initializer_list<MediaTime> seconds)
{
    std::vector<ClipItem> items;
    for (const MediaTime length : seconds)
        items.push_back({QStringLiteral("/music/%1.mp3").arg(items.size()), length * kSecond});
    return items;
}

// Each track as "[start,stop) media [a,b) name" in seconds, "empty" for a
// track without a source; one line per track.
std::vector<std::string> describeTracks(const std::shared_ptr<Timeline>& timeline)
{
    std::vector<std::string> lines;
    int groups = 0;
    if (!timeline || failed(timeline->groupCount(groups)) || groups == 0)
        return lines;
    std::shared_ptr<TimelineGroup> group;
    timeline->group(0, group);
    for (const auto& track : group->tracks()) {
        const auto sources = track->sources();
        if (sources.empty()) {
            lines.push_back("empty");
            continue;
        }
        std::string line;
        for (const auto& source : sources) {
            MediaTime start = 0, stop = 0, mediaStart = 0, mediaStop = 0;
            std::string name;
            source->startStop(start, stop);
            source->mediaTimes(mediaStart, mediaStop);
            source->mediaName(name);
            line += "[" + std::to_string(start / kSecond) + "," + std::to_string(stop / kSecond) +
                    ") media [" + std::to_string(mediaStart / kSecond) + "," +
                    std::to_string(mediaStop / kSecond) + ") " + name;
        }
        lines.push_back(line);
    }
    return lines;
}

struct BuilderFixture : ::testing::Test {
    MediaResult build(const std::vector<ClipItem>& clips, const std::vector<ClipItem>& audio)
    {
        return builder.build(clips, audio, timeline);
    }
    MediaResult build(const std::vector<ClipItem>& items) { return build(items, items); }

    FakeMediaFramework fake;
    RecordingDialogs dialogs;
    std::vector<std::string> askedAbout;
    TimelineBuilder builder{fake, dialogs, [this](const std::string& path) {
                                askedAbout.push_back(path);
                                return std::optional<std::string>("/music/found.mp3");
                            }};
    std::shared_ptr<Timeline> timeline;
};

using TimelineBuilderTest = BuilderFixture;

TEST_F(TimelineBuilderTest, ItemsFollowOneAnotherFromZeroOnTracksOfTheirOwn)
{
    ASSERT_EQ(build(itemsOf({3, 5, 2})), result::kOk);

    EXPECT_EQ(describeTracks(timeline),
              (std::vector<std::string>{"[0,3) media [0,3) /music/0.mp3",
                                        "[3,8) media [0,5) /music/1.mp3",
                                        "[8,10) media [0,2) /music/2.mp3"}));
    EXPECT_EQ(fake.callsOf(FakeOp::SetStartStop),
              (std::vector<FakeCall>{{FakeOp::SetStartStop, "0 30000000"},
                                     {FakeOp::SetStartStop, "30000000 80000000"},
                                     {FakeOp::SetStartStop, "80000000 100000000"}}));
    EXPECT_EQ(builder.totalDuration(), 10 * kSecond);
    EXPECT_EQ(fake.callsOf(FakeOp::SetMediaType),
              (std::vector<FakeCall>{{FakeOp::SetMediaType, "audio"}}));
    EXPECT_EQ(fake.callsOf(FakeOp::VTrackInsBefore).size(), 3u);
    EXPECT_EQ(fake.callsOf(FakeOp::VTrackInsBefore)[0].args, "-1");
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(TimelineBuilderTest, SourceNamesAreValidatedLastWithCheckPopupAndReplace)
{
    fake.setMissingSource("/music/1.mp3");
    build(itemsOf({3, 5}));
    const std::vector<FakeCall> calls = fake.calls();

    // The replacement the handler chose is the only thing after validating.
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2].op, FakeOp::ValidateSourceNames);
    EXPECT_EQ(calls.back(), (FakeCall{FakeOp::SetMediaName, "/music/found.mp3"}));
    EXPECT_EQ(fake.validateFlags(), kValidateCheck | kValidatePopup | kValidateReplace);
    EXPECT_EQ(fake.validateFlags(), 11);
    // The handler given to the builder is the one asked, and its answer is used.
    EXPECT_EQ(askedAbout, std::vector<std::string>{"/music/1.mp3"});
    EXPECT_EQ(describeTracks(timeline)[1], "[3,8) media [0,5) /music/found.mp3");
}

struct PlacementCase {
    friend void PrintTo(const PlacementCase& tested, std::ostream* out) { *out << tested.name; }

    const char* name;
    std::vector<ClipItem> clips;
    std::vector<ClipItem> audio;
    std::vector<std::string> tracks;
};

class TimelinePlacementTest : public BuilderFixture,
                              public ::testing::WithParamInterface<PlacementCase> {};

TEST_P(TimelinePlacementTest, PlacesItemsUpToTheTotalLength)
{
    ASSERT_EQ(build(GetParam().clips, GetParam().audio), result::kOk);
    EXPECT_EQ(describeTracks(timeline), GetParam().tracks);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Lists, TimelinePlacementTest,
    ::testing::Values(
        PlacementCase{"TrailingZeroLengthsAreNotPlaced", itemsOf({3, 2, 0, 0}),
                      itemsOf({3, 2, 0, 0}),
                      {"[0,3) media [0,3) /music/0.mp3", "[3,5) media [0,2) /music/1.mp3"}},
        PlacementCase{"AllZeroLengthsPlaceTheFirstItemFromZeroToZero", itemsOf({0, 0, 0}),
                      itemsOf({0, 0, 0}),
                      {"[0,0) media [0,0) /music/0.mp3"}},
        PlacementCase{"ZeroLengthInTheMiddleIsPlacedWithoutMovingTheRest", itemsOf({3, 0, 2}),
                      itemsOf({3, 0, 2}),
                      {"[0,3) media [0,3) /music/0.mp3", "[3,3) media [0,0) /music/1.mp3",
                       "[3,5) media [0,2) /music/2.mp3"}},
        PlacementCase{"AnItemReachingPastTheTotalIsCutAtIt", itemsOf({3, 4}), itemsOf({3, 5}),
                      {"[0,3) media [0,3) /music/0.mp3", "[3,7) media [0,4) /music/1.mp3"}},
        PlacementCase{"ItemsAfterTheTotalIsReachedAreNotPlaced", itemsOf({3, 5}),
                      itemsOf({3, 5, 2}),
                      {"[0,3) media [0,3) /music/0.mp3", "[3,8) media [0,5) /music/1.mp3"}},
        PlacementCase{"EmptyAudioListMakesNoGroup", itemsOf({3}), {}, {}}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST_F(TimelineBuilderTest, EmptyAudioListStillValidates)
{
    ASSERT_EQ(build({}, {}), result::kOk);
    EXPECT_EQ(fake.callCount(FakeOp::CreateGroup), 0);
    EXPECT_EQ(fake.callCount(FakeOp::ValidateSourceNames), 1);
}

TEST_F(TimelineBuilderTest, TotalIsSummedAfreshAtEveryBuild)
{
    build(itemsOf({3, 5}));
    build(itemsOf({3, 5}));
    EXPECT_EQ(builder.totalDuration(), 8 * kSecond);
    EXPECT_EQ(describeTracks(timeline).size(), 2u);
}

TEST_F(TimelineBuilderTest, LongPathsAreNamedWholeInTheFileSystemEncoding)
{
    const QString path = QStringLiteral("/music/") + QString(300, QChar(u'\u00e4')) + ".mp3";
    std::vector<ClipItem> items{{path, kSecond}};
    build(items);
    const std::string expected = QFile::encodeName(path).toStdString();
    ASSERT_GT(expected.size(), 600u);
    EXPECT_EQ(fake.callsOf(FakeOp::SetMediaName),
              (std::vector<FakeCall>{{FakeOp::SetMediaName, expected}}));
}

TEST_F(TimelineBuilderTest, TimelineThatCannotBeCreatedIsReportedUnderErrorAndReturned)
{
    // A timeline left from an earlier join must not survive a failed build.
    FakeMediaFramework earlier;
    earlier.createTimeline(timeline);
    fake.failOn(FakeOp::CreateTimeline, result::kOutOfMemory);
    EXPECT_EQ(build(itemsOf({3})), result::kOutOfMemory);

    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("Could not create timeline"));
    EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(timeline, nullptr);
    EXPECT_EQ(fake.ops(), std::vector<FakeOp>{FakeOp::CreateTimeline});
}

struct BuildFailureCase {
    friend void PrintTo(const BuildFailureCase& tested, std::ostream* out) { *out << tested.name; }

    const char* name;
    FakeOp op;
    int occurrence;
    std::vector<QString> messages;
    std::vector<std::string> tracks;
};

class TimelineBuildFailureTest : public BuilderFixture,
                                 public ::testing::WithParamInterface<BuildFailureCase> {};

// Every failure after the timeline exists is told in its own words under the
// program's title, skips only the rest of its item, and the build still
// validates and succeeds.
TEST_P(TimelineBuildFailureTest, ReportsAndGoesOn)
{
    fake.failOn(GetParam().op, result::kFail, GetParam().occurrence);
    EXPECT_EQ(build(itemsOf({3, 5, 2})), result::kOk);
    EXPECT_EQ(fake.ops().back(), FakeOp::ValidateSourceNames);

    QStringList expected;
    for (const QString& text : GetParam().messages)
        expected.append(text);
    EXPECT_EQ(dialogs.texts(), expected);
    for (const MessageRequest& message : dialogs.messages) {
        EXPECT_EQ(message.caption, QStringLiteral("kestrine"));
        EXPECT_EQ(message.buttons, MessageButtons::Ok);
    }
    EXPECT_EQ(describeTracks(timeline), GetParam().tracks);
}

const std::string kFirst = "[0,3) media [0,3) /music/0.mp3";
const std::string kThird = "[8,10) media [0,2) /music/2.mp3";

INSTANTIATE_TEST_SUITE_P(
    Steps, TimelineBuildFailureTest,
    ::testing::Values(
        BuildFailureCase{"CreateGroup", FakeOp::CreateGroup, -1,
                         {"Could not create pAudioGroupObj"}, {}},
        BuildFailureCase{"SetMediaType", FakeOp::SetMediaType, -1,
                         {"Could not set AudioGroupType"}, {}},
        BuildFailureCase{"AddGroup", FakeOp::AddGroup, -1, {"Could not add audio group"}, {}},
        BuildFailureCase{"CreateTrack", FakeOp::CreateTrack, 1,
                         {"Could not create pTrack3Obj"}, {kFirst, kThird}},
        BuildFailureCase{"InsertTrack", FakeOp::VTrackInsBefore, 1,
                         {"Could not insert pTrack3Obj"}, {kFirst, kThird}},
        BuildFailureCase{"CreateSource", FakeOp::CreateSource, 1,
                         {"Could not create the pSource3Obj"}, {kFirst, "empty", kThird}},
        BuildFailureCase{"SetMediaTimes", FakeOp::SetMediaTimes, 1,
                         {"Could not set audio start and eng time!"}, {kFirst, "empty", kThird}},
        BuildFailureCase{"SetMediaName", FakeOp::SetMediaName, 1,
                         {"Could not configure pSource3Src"}, {kFirst, "empty", kThird}},
        BuildFailureCase{"SrcAdd", FakeOp::SrcAdd, 1,
                         {"Could not add pSource3Obj to track"}, {kFirst, "empty", kThird}},
        BuildFailureCase{"SetStartStopIsNotLookedAt", FakeOp::SetStartStop, 1, {},
                         {kFirst, "[0,0) media [0,5) /music/1.mp3", kThird}},
        BuildFailureCase{"EveryItemFailsInTurn", FakeOp::CreateSource, -1,
                         {"Could not create the pSource3Obj", "Could not create the pSource3Obj",
                          "Could not create the pSource3Obj"},
                         {"empty", "empty", "empty"}}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST_F(TimelineBuilderTest, FailedItemSkipsOnlyItsOwnRemainingSteps)
{
    fake.failOn(FakeOp::SetMediaTimes, result::kFail, 0);
    build(itemsOf({3, 5}));
    // Item 0 stopped before naming its source; item 1 went through every step.
    EXPECT_EQ(fake.callsOf(FakeOp::SetMediaName),
              (std::vector<FakeCall>{{FakeOp::SetMediaName, "/music/1.mp3"}}));
    EXPECT_EQ(fake.callCount(FakeOp::SrcAdd), 1);
}

} // namespace
} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/join_run.h"

#include "tests/support/fake_media_framework.h"
#include "tests/support/recording_dialogs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kestrine::testing {
namespace {

constexpr MediaTime kSecond = kUnitsPerSecond;

struct JoinRunFixture : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        for (const char* name : {"a.mp3", "b.ogg"}) {
            const QString path = folder.filePath(QString::fromLatin1(name));
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            items.push_back({path, 2 * kSecond});
        }
        output = folder.filePath(QStringLiteral("out.wav"));
    }

    MediaResult start() { return run.start(items, items, output, [this] { ++notifications; }); }

    QTemporaryDir folder;
    std::vector<ClipItem> items;
    QString output;
    FakeMediaFramework fake;
    RecordingDialogs dialogs;
    JoinRun run{fake, dialogs};
    int notifications = 0;
};

using JoinRunTest = JoinRunFixture;

TEST_F(JoinRunTest, StartBuildsTheTimelineAndRunsTheGraphWithTheFrontEndsNotification)
{
    ASSERT_EQ(start(), result::kOk);
    EXPECT_EQ(run.state(), JoinState::Running);
    EXPECT_EQ(run.output(), output);
    EXPECT_EQ(run.totalDuration(), 4 * kSecond);
    EXPECT_EQ(fake.callCount(FakeOp::Run), 1);
    EXPECT_EQ(fake.callsOf(FakeOp::SetStartStop).size(), 2u);
    EXPECT_TRUE(run.references().timeline && run.references().graphEvents);
    EXPECT_NE(run.seeking(), nullptr);
    EXPECT_TRUE(fake.fireNotify());
    EXPECT_EQ(notifications, 1);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

// What the events waiting at one notification make of a running join, and
// how many of them are taken: none after the one that ends it.
struct EventsCase {
    friend void PrintTo(const EventsCase& tested, std::ostream* out) { *out << tested.name; }
    const char* name;
    std::vector<GraphEvent> events;
    JoinState state;
    MediaResult failure;
    int taken;
};

class JoinRunEventsTest : public JoinRunFixture, public ::testing::WithParamInterface<EventsCase> {};

TEST_P(JoinRunEventsTest, EventsGiveTheState)
{
    const EventsCase& c = GetParam();
    ASSERT_EQ(start(), result::kOk);
    for (const GraphEvent& event : c.events)
        fake.queueEvent(event);

    EXPECT_EQ(run.takeEvents(), c.state);
    EXPECT_EQ(run.state(), c.state);
    EXPECT_EQ(run.failure(), c.failure);
    EXPECT_EQ(fake.callCount(FakeOp::FreeEventParams), c.taken);
    EXPECT_EQ(fake.queuedEvents(), c.events.size() - static_cast<std::size_t>(c.taken));

    // An ended join asks the graph nothing more, however often it is asked.
    const int asked = fake.callCount(FakeOp::GetEvent);
    fake.queueEvent({kEventComplete, 0, 0});
    EXPECT_EQ(run.takeEvents(), c.state == JoinState::Running ? JoinState::Completed : c.state);
    if (c.state != JoinState::Running) {
        EXPECT_EQ(fake.callCount(FakeOp::GetEvent), asked);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Events, JoinRunEventsTest,
    ::testing::Values(
        EventsCase{"None", {}, JoinState::Running, result::kOk, 0},
        EventsCase{"OthersAreDropped", {{14, 7, 8}, {99, 0, 0}}, JoinState::Running, result::kOk, 2},
        EventsCase{"Completion", {{kEventComplete, 0, 0}}, JoinState::Completed, result::kOk, 1},
        EventsCase{"ErrorAbortKeepsItsCode",
                   {{kEventErrorAbort, result::kDiskFull, 0}},
                   JoinState::Failed, result::kDiskFull, 1},
        EventsCase{"ErrorAbortWithoutACodeStillFails",
                   {{kEventErrorAbort, 0, 0}},
                   JoinState::Failed, result::kFail, 1},
        EventsCase{"UserAbortStops", {{kEventUserAbort, 0, 0}}, JoinState::Stopped, result::kOk, 1},
        EventsCase{"CompletionAmongOthers",
                   {{14, 0, 0}, {kEventComplete, 0, 0}, {14, 0, 0}},
                   JoinState::Completed, result::kOk, 2},
        EventsCase{"TheFirstEndingCounts",
                   {{kEventErrorAbort, result::kDiskFull, 0}, {kEventComplete, 0, 0}},
                   JoinState::Failed, result::kDiskFull, 1}),
    [](const auto& tested) { return std::string(tested.param.name); });

// The sentence both front ends show for a failed join names the file the
// graph blames, by its place among the timeline's sources.
struct FailureTextCase {
    friend void PrintTo(const FailureTextCase& tested, std::ostream* out) { *out << tested.name; }
    const char* name;
    GraphEvent event;
    int blamed; // index into the items, -1 for none
    const char* text; // %1 is the blamed file's path, %2 the framework's reason
};

class JoinRunFailureTextTest : public JoinRunFixture, public ::testing::WithParamInterface<FailureTextCase> {};

TEST_P(JoinRunFailureTextTest, NamesTheFileToBlame)
{
    const FailureTextCase& c = GetParam();
    ASSERT_EQ(start(), result::kOk);
    fake.queueEvent(c.event);
    ASSERT_EQ(run.takeEvents(), JoinState::Failed);
    const QString blamed = c.blamed >= 0 ? items[static_cast<std::size_t>(c.blamed)].path : QString();
    EXPECT_EQ(run.failedSource(), blamed);
    const QString reason =
        QString::fromStdString(FakeMediaFramework::fakeErrorText(static_cast<MediaResult>(c.event.param1)));
    const QString expected = QString::fromUtf8(c.text).replace(QStringLiteral("%1"), blamed).replace(QStringLiteral("%2"), reason);
    EXPECT_EQ(run.failureText(), expected);
    // Released, the join still says what failed.
    run.release();
    EXPECT_EQ(run.failureText(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, JoinRunFailureTextTest,
    ::testing::Values(
        FailureTextCase{"ShorterSource", {kEventErrorAbort, result::kSourceShrank, 2}, 1,
                        "%1 is shorter than when it was added."},
        FailureTextCase{"SourceThatCannotBeOpened", {kEventErrorAbort, result::kCannotOpenSource, 1}, 0,
                        "%1: %2"},
        FailureTextCase{"NoSourceToBlame", {kEventErrorAbort, result::kDiskFull, 0}, -1, "%2"},
        FailureTextCase{"ABlameBeyondTheTimelineNamesNone", {kEventErrorAbort, result::kSourceShrank, 9}, -1, "%2"}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST_F(JoinRunTest, WithoutAJoinNoEventIsAskedFor)
{
    EXPECT_EQ(run.takeEvents(), JoinState::Idle);
    EXPECT_EQ(fake.callCount(FakeOp::GetEvent), 0);
}

TEST_F(JoinRunTest, ReleaseStopsTheGraphFirstAndLetsGoOfEachObjectInTurn)
{
    ASSERT_EQ(start(), result::kOk);
    fake.clearCalls();

    run.release();

    EXPECT_EQ(fake.callLog(),
              (std::vector<std::string>{"stop", "setNotify clear", "releaseMediaEvents",
                                        "releaseMediaControl", "scrapIt", "releaseRenderEngine",
                                        "releaseTimeline"}));
    EXPECT_EQ(run.state(), JoinState::Stopped);
    EXPECT_FALSE(fake.notifyRegistered());
    EXPECT_EQ(run.takeEvents(), JoinState::Stopped);
    EXPECT_EQ(fake.callCount(FakeOp::GetEvent), 0);
}

TEST_F(JoinRunTest, AFinishedJoinKeepsItsStateThroughRelease)
{
    ASSERT_EQ(start(), result::kOk);
    fake.queueEvent({kEventComplete, 0, 0});
    ASSERT_EQ(run.takeEvents(), JoinState::Completed);
    run.release();
    EXPECT_EQ(run.state(), JoinState::Completed);
    EXPECT_EQ(fake.callCount(FakeOp::Stop), 1);
}

TEST_F(JoinRunTest, GoingAwayReleasesARunningJoin)
{
    {
        JoinRun scoped(fake, dialogs);
        ASSERT_EQ(scoped.start(items, items, output, [] {}), result::kOk);
        fake.clearCalls();
    }
    EXPECT_EQ(fake.callCount(FakeOp::Stop), 1);
    EXPECT_EQ(fake.callCount(FakeOp::ReleaseTimeline), 1);
    EXPECT_FALSE(fake.notifyRegistered());
}

TEST_F(JoinRunTest, TheNextJoinStartsFromACleanSlate)
{
    ASSERT_EQ(start(), result::kOk);
    fake.queueEvent({kEventErrorAbort, result::kDiskFull, 0});
    ASSERT_EQ(run.takeEvents(), JoinState::Failed);

    ASSERT_EQ(start(), result::kOk);
    EXPECT_EQ(run.state(), JoinState::Running);
    EXPECT_EQ(run.failure(), result::kOk);
    // The first join's graph was stopped before the second was built.
    EXPECT_EQ(fake.callCount(FakeOp::Stop), 1);
    EXPECT_EQ(fake.callCount(FakeOp::Run), 2);
}

TEST_F(JoinRunTest, AGraphThatCannotStartKeepsNothing)
{
    fake.failCreateFilter(kWaveMuxClassId, result::kNotRegistered);
    EXPECT_TRUE(failed(start()));
    EXPECT_EQ(run.state(), JoinState::Idle);
    EXPECT_FALSE(run.references().timeline || run.references().renderEngine ||
                 run.references().graphEvents || run.references().graphControl);
    EXPECT_FALSE(fake.notifyRegistered());
    // The graph said why itself.
    EXPECT_EQ(dialogs.messages.size(), 1);
}

// An output that would destroy a source, or that cannot be a file, is
// refused before the framework is asked for anything.
struct ClashCase {
    friend void PrintTo(const ClashCase& tested, std::ostream* out) { *out << tested.name; }
    const char* name;
    QString (*output)(const JoinRunFixture&);
    MediaResult expected;
};

class JoinRunClashTest : public JoinRunFixture, public ::testing::WithParamInterface<ClashCase> {};

TEST_P(JoinRunClashTest, OutputIsCheckedAgainstTheSourcesBeforeAnythingIsBuilt)
{
    output = GetParam().output(*this);
    EXPECT_EQ(JoinRun::checkOutput(output, items), GetParam().expected);
    EXPECT_EQ(start(), GetParam().expected);
    if (failed(GetParam().expected)) {
        EXPECT_TRUE(fake.calls().empty()) << ::testing::PrintToString(fake.callLog());
        EXPECT_EQ(run.state(), JoinState::Idle);
    } else {
        EXPECT_EQ(run.state(), JoinState::Running);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, JoinRunClashTest,
    ::testing::Values(
        ClashCase{"ASource", [](const JoinRunFixture& f) { return f.items[1].path; },
                  result::kOutputIsSource},
        ClashCase{"ASourceSpelledOtherwise",
                  [](const JoinRunFixture& f) {
                      const QString folderName = QDir(f.folder.path()).dirName();
                      return f.folder.path() + QStringLiteral("/../") + folderName +
                             QStringLiteral("/./b.ogg");
                  },
                  result::kOutputIsSource},
        ClashCase{"AFolder", [](const JoinRunFixture& f) { return f.folder.path(); },
                  result::kOutputNotRegularFile},
        ClashCase{"ANewFile", [](const JoinRunFixture& f) { return f.output; }, result::kOk}),
    [](const auto& tested) { return std::string(tested.param.name); });

} // namespace
} // namespace kestrine::testing

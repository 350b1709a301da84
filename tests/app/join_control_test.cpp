// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/app/main_dialog_fixture.h"

#include <QCoreApplication>

namespace kestrine::testing {
namespace {

class JoinControlTest : public MainDialogTest {
protected:
    void SetUp() override
    {
        MainDialogTest::SetUp();
        output = QDir(folder.path()).filePath(QStringLiteral("out/joined.wav"));
        QDir().mkpath(QFileInfo(output).absolutePath());
        settings.writeText("Settings", "OutputName", output);
    }
    void deliverGraphEvents()
    {
        QCoreApplication::sendPostedEvents(&dialog(), kGraphEventMessage);
    }
    void startJoin()
    {
        addNamed({"A", "B"});
        click(control::kJoin);
        ASSERT_TRUE(dialog().joining());
        ASSERT_TRUE(framework.notifyRegistered());
    }

    QString output;
};

TEST_F(JoinControlTest, EmptyListIsRefusedAndNothingIsBuilt)
{
    click(control::kJoin);
    EXPECT_EQ(dialogs.texts(), QStringList({QStringLiteral("Please add audio or video files into the list")}));
    EXPECT_EQ(dialogs.messages.front().caption, dialogs.applicationTitle());
    EXPECT_EQ(framework.callCount(FakeOp::CreateTimeline), 0);
    EXPECT_FALSE(dialog().joining());
}

TEST_F(JoinControlTest, AFullListOfAThousandItemsJoins)
{
    QList<QPair<QString, MediaTime>> files;
    const QString file = makeFile("same.wav");
    for (int i = 0; i < ClipList::kCapacity; ++i)
        files.append({file, kSecond});
    addThroughDialog(files);
    ASSERT_EQ(dialog().clipList().count(), ClipList::kCapacity);
    click(control::kJoin);
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.texts().join('\n').toStdString();
    EXPECT_TRUE(dialog().joining());
    click(control::kJoin);
}

TEST_F(JoinControlTest, StartingShowsStopAndTheClockCounts)
{
    startJoin();
    EXPECT_EQ(button(control::kJoin)->text(), QStringLiteral("Stop"));
    EXPECT_EQ(framework.callCount(FakeOp::Run), 1);
    dialog().clockTick();
    EXPECT_EQ(dialog().statusText(), QStringLiteral("Please wait... Used Time: 00:00:01"));
    for (int tick = 1; tick < 3725; ++tick)
        dialog().clockTick();
    EXPECT_EQ(dialog().statusText(), QStringLiteral("Please wait... Used Time: 01:02:05"));
    EXPECT_EQ(dialog().elapsedSeconds(), 3725);
}

TEST_F(JoinControlTest, TheClockTicksOnItsOwnTimer)
{
    startJoin();
    QTRY_COMPARE_WITH_TIMEOUT(dialog().statusText(), QStringLiteral("Please wait... Used Time: 00:00:01"), 5000);
}

TEST_F(JoinControlTest, StopEndsTheJoinAndTheNextStartsFromOneSecond)
{
    startJoin();
    for (int tick = 0; tick < 5; ++tick)
        dialog().clockTick();
    click(control::kJoin);
    EXPECT_FALSE(dialog().joining());
    EXPECT_EQ(button(control::kJoin)->text(), QStringLiteral("Join"));
    EXPECT_EQ(dialog().elapsedSeconds(), 0);
    EXPECT_EQ(dialog().statusText(), QStringLiteral("Done. Output File: ") + output);
    EXPECT_FALSE(framework.notifyRegistered());
    EXPECT_FALSE(dialog().joinReferences().graphEvents);
    EXPECT_FALSE(dialog().joinReferences().timeline);
    EXPECT_EQ(framework.callCount(FakeOp::Stop), 1);

    click(control::kJoin);
    ASSERT_TRUE(dialog().joining());
    dialog().clockTick();
    EXPECT_EQ(dialog().statusText(), QStringLiteral("Please wait... Used Time: 00:00:01"));
    click(control::kJoin);
}

TEST_F(JoinControlTest, SeveralEventsInOneMessageAreAllConsumedAndOnlyCompletionActs)
{
    startJoin();
    framework.queueEvent({kEventUserAbort, 0, 0});
    framework.queueEvent({14, 7, 8});
    ASSERT_TRUE(framework.fireNotify());
    deliverGraphEvents();
    EXPECT_TRUE(dialog().joining());
    EXPECT_EQ(framework.queuedEvents(), 0u);

    framework.queueEvent({14, 0, 0});
    framework.queueEvent({kEventComplete, 0, 0});
    framework.queueEvent({14, 0, 0});
    ASSERT_TRUE(framework.fireNotify());
    deliverGraphEvents();
    EXPECT_FALSE(dialog().joining());
    EXPECT_EQ(dialog().statusText(), QStringLiteral("Done. Output File: ") + output);
    EXPECT_EQ(framework.callCount(FakeOp::FreeEventParams), 4);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(JoinControlTest, AnEventMessageWithoutAJoinDoesNothing)
{
    QCoreApplication::postEvent(&dialog(), new QEvent(kGraphEventMessage));
    deliverGraphEvents();
    EXPECT_EQ(framework.callCount(FakeOp::GetEvent), 0);
    EXPECT_FALSE(dialog().joining());
}

TEST_F(JoinControlTest, TheDoneLineNamesThePathOfTheMomentTheJoinEnds)
{
    startJoin();
    framework.postEvent({kEventComplete, 0, 0});
    deliverGraphEvents();
    EXPECT_EQ(dialog().statusText(), QStringLiteral("Done. Output File: ") + output);
}

TEST_F(JoinControlTest, ListEmptiedDuringAJoinRefusesStopAndTheJoinGoesOn)
{
    startJoin();
    click(control::kDeleteAll);
    click(control::kJoin);
    EXPECT_EQ(dialogs.texts(), QStringList({QStringLiteral("Please add audio or video files into the list")}));
    EXPECT_TRUE(dialog().joining());
    framework.postEvent({kEventComplete, 0, 0});
    deliverGraphEvents();
    EXPECT_FALSE(dialog().joining());
}

struct OverwriteCase {
    const char* name;
    MessageAnswer answer;
    bool replaced;
};

class OverwriteTest : public JoinControlTest, public ::testing::WithParamInterface<OverwriteCase> {};

TEST_P(OverwriteTest, AnExistingOutputIsReplacedOnlyOnYes)
{
    const OverwriteCase& c = GetParam();
    QFile existing(output);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("old");
    existing.close();
    addNamed({"A"});
    dialogs.yesNoAnswers.push_back(c.answer);
    click(control::kJoin);

    ASSERT_EQ(dialogs.messages.size(), 1);
    const MessageRequest& question = dialogs.messages.front();
    EXPECT_EQ(question.text, output + QStringLiteral(" exists. Do you want to replace it?"));
    EXPECT_EQ(question.caption, QStringLiteral("Warning"));
    EXPECT_EQ(question.icon, MessageIcon::Warning);
    EXPECT_EQ(question.buttons, MessageButtons::YesNo);
    EXPECT_EQ(QFileInfo::exists(output), !c.replaced);
    EXPECT_EQ(shell.deletedFiles, c.replaced ? QStringList({output}) : QStringList());
    EXPECT_EQ(framework.callCount(FakeOp::CreateTimeline), c.replaced ? 1 : 0);
    EXPECT_EQ(dialog().joining(), c.replaced);
    if (dialog().joining())
        click(control::kJoin);
}

INSTANTIATE_TEST_SUITE_P(Answers, OverwriteTest,
                         ::testing::Values(OverwriteCase{"Yes", MessageAnswer::Yes, true},
                                           OverwriteCase{"No", MessageAnswer::No, false}),
                         [](const ::testing::TestParamInfo<OverwriteCase>& testInfo) {
                             return std::string(testInfo.param.name);
                         });

TEST_F(JoinControlTest, AnOutputThatIsOneOfTheSourcesIsRefusedBeforeAnyQuestion)
{
    addNamed({"A", "B"});
    // The same file under another spelling of its path.
    const QString source = dialog().clipList().at(1).path;
    dialog_.reset();
    settings.writeText("Settings", "OutputName",
                       QFileInfo(source).absolutePath() + QStringLiteral("/./") + QFileInfo(source).fileName());
    addNamed({"A", "B"});
    dialogs.yesNoAnswers.push_back(MessageAnswer::Yes);
    click(control::kJoin);

    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_NE(dialogs.messages.front().buttons, MessageButtons::YesNo);
    EXPECT_TRUE(dialogs.messages.front().text.contains(QStringLiteral("also in the list")));
    EXPECT_TRUE(QFileInfo::exists(source));
    EXPECT_TRUE(shell.deletedFiles.isEmpty());
    EXPECT_EQ(framework.callCount(FakeOp::CreateTimeline), 0);
    EXPECT_FALSE(dialog().joining());
}

TEST_F(JoinControlTest, AnAbortEventEndsTheJoinAtOnceWithTheFrameworksText)
{
    startJoin();
    framework.postEvent({kEventErrorAbort, result::kDiskFull, 0});
    deliverGraphEvents();

    EXPECT_FALSE(dialog().joining());
    EXPECT_EQ(button(control::kJoin)->text(), QStringLiteral("Join"));
    EXPECT_FALSE(framework.notifyRegistered());
    EXPECT_FALSE(dialog().joinReferences().graphControl);
    EXPECT_EQ(framework.callCount(FakeOp::Stop), 1);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages.front().caption, QStringLiteral("Error"));
    EXPECT_TRUE(dialogs.messages.front().text.contains(
        QString::fromStdString(FakeMediaFramework::fakeErrorText(result::kDiskFull))));
    EXPECT_FALSE(dialog().statusText().startsWith(QStringLiteral("Done.")));
    EXPECT_EQ(dialog().statusText(), QStringLiteral("Output File: ") + output);
}

TEST_F(JoinControlTest, AFailedStartLeavesTheProgramIdle)
{
    addNamed({"A"});
    framework.failOn(FakeOp::Run, result::kFail);
    click(control::kJoin);
    EXPECT_FALSE(dialog().joining());
    EXPECT_EQ(button(control::kJoin)->text(), QStringLiteral("Join"));
    EXPECT_FALSE(dialogs.messages.isEmpty());
    EXPECT_FALSE(framework.notifyRegistered());
    dialog().close();
    EXPECT_FALSE(dialog().isVisible());
}

TEST_F(JoinControlTest, AnUnreadableSourceIsOfferedForReplacement)
{
    addNamed({"A", "B"});
    const std::string missing = dialog().audioList().at(1).path.toStdString();
    framework.setMissingSource(missing);
    const QString replacement = makeFile("other.mp3");
    dialogs.yesNoAnswers.push_back(MessageAnswer::Yes);
    dialogs.openAnswers.push_back({replacement});
    click(control::kJoin);

    ASSERT_FALSE(dialogs.messages.isEmpty());
    EXPECT_EQ(dialogs.messages.front().text,
              QString::fromStdString(missing) + QStringLiteral(" cannot be read. Choose another file?"));
    EXPECT_EQ(dialogs.messages.front().buttons, MessageButtons::YesNo);
    ASSERT_EQ(dialogs.openRequests.size(), 2); // the Add, then the replacement
    if (dialog().joining())
        click(control::kJoin);
}

} // namespace
} // namespace kestrine::testing

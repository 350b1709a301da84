// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/app/main_dialog_fixture.h"

#include "output/output_settings_dialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <functional>

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
    // What a graph that wrote length of sound leaves behind, as the fake
    // framework measures it.
    void leaveWrittenFile(const QString& path, MediaTime length, const QByteArray& bytes = "new sound")
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        framework.setDuration(path.toStdString(), length);
    }
    QByteArray contentsOf(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

// Once the join has looked at its files, the clock's line says how it makes the sound.
TEST_F(JoinControlTest, TheClockNamesTheJoinsRoadOnceItIsKnown)
{
    startJoin();
    dialog().clockTick();
    EXPECT_EQ(dialog().statusText(), QStringLiteral("Please wait... Used Time: 00:00:01"));
    framework.setRoad(JoinRoad::Copy);
    dialog().clockTick();
    EXPECT_EQ(dialog().statusText(), QStringLiteral("Please wait... Used Time: 00:00:02 \u00b7 copying frames"));
    framework.setRoad(JoinRoad::Encode);
    dialog().clockTick();
    EXPECT_EQ(dialog().statusText(), QStringLiteral("Please wait... Used Time: 00:00:03 \u00b7 encoding"));
}

TEST_F(JoinControlTest, TheClockTicksOnItsOwnTimer)
{
    startJoin();
    // QTRY_* would only tell Qt's own test runner about a time-out.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return dialog().statusText() == QStringLiteral("Please wait... Used Time: 00:00:01"); }, 5000))
        << dialog().statusText().toStdString();
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
    EXPECT_EQ(dialog().statusText(), QStringLiteral("Stopped. No file was written to ") + output + '.');
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

TEST_F(JoinControlTest, SeveralEventsInOneMessageAreAllConsumedAndOnlyTheEndingOnesAct)
{
    startJoin();
    framework.queueEvent({99, 0, 0});
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

enum class Ending { Complete, Stop, Failure, UserAbort };

void PrintTo(Ending ending, std::ostream* out)
{
    static constexpr const char* kNames[] = {"Complete", "Stop", "Failure", "UserAbort"};
    *out << kNames[static_cast<int>(ending)];
}

struct EndingCase {
    const char* name;
    Ending ending;
    const char* expected; // %1 is the path the join started with
};

// Options may point elsewhere while a join runs; every line about the join's
// end still names the file that join wrote.
TEST_F(JoinControlTest, EveryEndingNamesThePathTheJoinWrote)
{
    const EndingCase cases[] = {
        {"completion", Ending::Complete, "Done. Output File: %1"},
        {"stop", Ending::Stop, "Stopped. Output File: %1 holds the first 0:01:05."},
        {"failure", Ending::Failure, "%1 holds the first 0:01:05."},
        // The graph stopped on its own, as the Stop button stops it.
        {"user abort", Ending::UserAbort, "Stopped. Output File: %1 holds the first 0:01:05."},
    };
    const QString started = output;
    const QString changed = QDir(folder.path()).filePath(QStringLiteral("elsewhere.wav"));
    for (const EndingCase& c : cases) {
        dialog_.reset();
        dialogs.messages.clear();
        settings.writeText("Settings", "OutputName", started);
        QFile::remove(started);
        startJoin();
        changeOutputThroughOptions(changed);
        leaveWrittenFile(started, 65 * kSecond);
        switch (c.ending) {
        case Ending::Complete: framework.postEvent({kEventComplete, 0, 0}); break;
        case Ending::Stop: click(control::kJoin); break;
        case Ending::Failure: framework.postEvent({kEventErrorAbort, result::kDiskFull, 0}); break;
        case Ending::UserAbort: framework.postEvent({kEventUserAbort, 0, 0}); break;
        }
        deliverGraphEvents();
        ASSERT_FALSE(dialog().joining()) << c.name;
        const QString line = c.ending == Ending::Failure ? dialogs.messages.value(0).text : dialog().statusText();
        EXPECT_TRUE(line.endsWith(QString::fromUtf8(c.expected).arg(started))) << c.name << ": " << line.toStdString();
        EXPECT_FALSE(line.contains(changed)) << c.name;
    }
}

TEST_F(JoinControlTest, TheJoinTipFollowsTheOutputChosenInOptions)
{
    ASSERT_EQ(button(control::kJoin)->toolTip(), QStringLiteral("Join the files to wav (Ctrl+J)"));
    changeOutputThroughOptions(QDir(folder.path()).filePath(QStringLiteral("joined.mp3")));
    EXPECT_EQ(button(control::kJoin)->toolTip(), QStringLiteral("Join the files to mp3 (Ctrl+J)"));
    changeOutputThroughOptions(output);
    EXPECT_EQ(button(control::kJoin)->toolTip(), QStringLiteral("Join the files to wav (Ctrl+J)"));
}

enum class LeftOnDisk { Sound, EmptyWav, HeaderOnly, NotSound, Nothing, OldFileUntouched };

// A 44,100 Hz stereo 16-bit WAV header and an empty data chunk, nothing after it.
QByteArray headerOnlyWav()
{
    QByteArray wav("RIFF");
    const auto append32 = [&wav](quint32 value) {
        for (int shift = 0; shift < 32; shift += 8)
            wav.append(char((value >> shift) & 0xFF));
    };
    const auto append16 = [&wav](quint16 value) {
        wav.append(char(value & 0xFF));
        wav.append(char(value >> 8));
    };
    append32(36);
    wav.append("WAVEfmt ");
    append32(16);
    append16(1);
    append16(2);
    append32(44'100);
    append32(44'100 * 4);
    append16(4);
    append16(16);
    wav.append("data");
    append32(0);
    return wav;
}

struct LeftCase {
    friend void PrintTo(const LeftCase& tested, std::ostream* out) { *out << tested.name; }
    const char* name;
    LeftOnDisk left;
    MediaTime length;
    const char* said; // %1 is the output path
};

// After Stop and after a failure alike, what the program says is on disk is
// what is on disk.
class WhatIsLeftTest : public JoinControlTest,
                       public ::testing::WithParamInterface<std::tuple<LeftCase, Ending>> {};

TEST_P(WhatIsLeftTest, TheLineSaysWhatIsReallyOnDisk)
{
    const auto& [c, ending] = GetParam();
    if (c.left == LeftOnDisk::OldFileUntouched) {
        leaveWrittenFile(output, 10 * kSecond, "old sound");
        dialogs.yesNoAnswers.push_back(MessageAnswer::Yes);
    }
    addNamed({"A", "B"});
    click(control::kJoin);
    ASSERT_TRUE(dialog().joining());
    dialogs.messages.clear();
    switch (c.left) {
    case LeftOnDisk::Sound: leaveWrittenFile(output, c.length); break;
    case LeftOnDisk::EmptyWav: leaveWrittenFile(output, 0); break;
    case LeftOnDisk::HeaderOnly:
        // Measuring finds no sound stream in it, but the header is whole.
        leaveWrittenFile(output, 0, headerOnlyWav());
        framework.failProbe(output.toStdString(), FakeOp::RenderFile, result::kNoAudioStream);
        break;
    case LeftOnDisk::NotSound:
        leaveWrittenFile(output, 0);
        framework.failProbe(output.toStdString(), FakeOp::RenderFile, result::kCannotOpenSource);
        break;
    case LeftOnDisk::Nothing:
    case LeftOnDisk::OldFileUntouched: break;
    }

    const QString said = QString::fromUtf8(c.said).arg(output);
    if (ending == Ending::Stop) {
        click(control::kJoin);
        // A file with sound is named as the output file, as after a completed join.
        const QString stopped = c.left == LeftOnDisk::Sound ? QStringLiteral("Stopped. Output File: ")
                                                            : QStringLiteral("Stopped. ");
        EXPECT_EQ(dialog().statusText().toStdString(), (stopped + said).toStdString());
        EXPECT_TRUE(dialogs.messages.isEmpty());
    } else {
        framework.postEvent({kEventErrorAbort, result::kDecodeFailed, 0});
        deliverGraphEvents();
        ASSERT_EQ(dialogs.messages.size(), 1);
        EXPECT_EQ(dialogs.messages.front().text.toStdString(),
                  QStringLiteral("The join stopped before the end: %1\n%2")
                      .arg(QString::fromStdString(FakeMediaFramework::fakeErrorText(result::kDecodeFailed)), said)
                      .toStdString());
        EXPECT_EQ(dialog().statusText(), QStringLiteral("Output File: ") + output);
    }
    EXPECT_FALSE(dialog().joining());
    if (c.left == LeftOnDisk::OldFileUntouched) {
        EXPECT_EQ(contentsOf(output), QByteArray("old sound"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Endings, WhatIsLeftTest,
    ::testing::Combine(
        ::testing::Values(
            LeftCase{"Sound", LeftOnDisk::Sound, 65 * kUnitsPerSecond + 9'999'999,
                     "%1 holds the first 0:01:05."},
            LeftCase{"MoreThanAnHour", LeftOnDisk::Sound, 3725 * kUnitsPerSecond,
                     "%1 holds the first 1:02:05."},
            LeftCase{"EmptyWav", LeftOnDisk::EmptyWav, 0, "%1 holds no sound."},
            LeftCase{"HeaderOnly", LeftOnDisk::HeaderOnly, 0, "%1 holds no sound."},
            LeftCase{"NotSound", LeftOnDisk::NotSound, 0, "%1 is left, but does not read as a sound file."},
            LeftCase{"NoFile", LeftOnDisk::Nothing, 0, "No file was written to %1."},
            LeftCase{"OldFileUntouched", LeftOnDisk::OldFileUntouched, 0,
                     "Nothing was written: %1 is as it was before."}),
        ::testing::Values(Ending::Stop, Ending::Failure)),
    [](const ::testing::TestParamInfo<std::tuple<LeftCase, Ending>>& tested) {
        return std::string(std::get<0>(tested.param).name)
               + (std::get<1>(tested.param) == Ending::Stop ? "AfterStop" : "AfterFailure");
    });

// Whatever happened to the list since the join started, Stop stops it, and
// the window can be closed afterwards.
TEST_F(JoinControlTest, StopStopsWhateverTheListHoldsNow)
{
    const struct {
        const char* name;
        std::function<void()> change;
    } cases[] = {
        {"list emptied", [this] { click(control::kDeleteAll); }},
        {"a source gone from disk", [this] { QFile::remove(dialog().clipList().at(0).path); }},
        {"the output added to the list", [this] { addThroughDialog({{output, kSecond}}); }},
    };
    for (const auto& c : cases) {
        dialog_.reset();
        dialogs.messages.clear();
        startJoin();
        c.change();
        click(control::kJoin);
        EXPECT_FALSE(dialog().joining()) << c.name;
        EXPECT_FALSE(framework.notifyRegistered()) << c.name;
        EXPECT_TRUE(dialogs.messages.isEmpty()) << c.name << ": " << dialogs.texts().join('\n').toStdString();
        EXPECT_TRUE(dialog().statusText().startsWith(QStringLiteral("Stopped. "))) << c.name;
        dialog().close();
        EXPECT_FALSE(dialog().isVisible()) << c.name;
    }
}

struct OverwriteCase {
    const char* name;
    MessageAnswer answer;
    bool joins;
};

void PrintTo(const OverwriteCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class OverwriteTest : public JoinControlTest, public ::testing::WithParamInterface<OverwriteCase> {};

// The question only decides whether the join runs: the old file stays until
// the join has a new one to put in its place.
TEST_P(OverwriteTest, AnExistingOutputIsAskedAboutAndLeftToTheJoin)
{
    const OverwriteCase& c = GetParam();
    leaveWrittenFile(output, kSecond, "old");
    addNamed({"A"});
    dialogs.yesNoAnswers.push_back(c.answer);
    click(control::kJoin);

    ASSERT_EQ(dialogs.messages.size(), 1);
    const MessageRequest& question = dialogs.messages.front();
    EXPECT_EQ(question.text, output + QStringLiteral(" exists. Do you want to replace it?"));
    EXPECT_EQ(question.caption, QStringLiteral("Warning"));
    EXPECT_EQ(question.icon, MessageIcon::Warning);
    EXPECT_EQ(question.buttons, MessageButtons::YesNo);
    EXPECT_EQ(contentsOf(output), QByteArray("old"));
    EXPECT_EQ(framework.callCount(FakeOp::CreateTimeline), c.joins ? 1 : 0);
    EXPECT_EQ(dialog().joining(), c.joins);
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
    EXPECT_TRUE(dialogs.messages.front().text.contains(QStringLiteral("also one of the files to join")));
    EXPECT_EQ(contentsOf(source), QByteArray("data"));
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

// Every source is checked before anything is asked: one message names every
// file that cannot be joined, and declining leaves everything as it was.
TEST_F(JoinControlTest, UnjoinableSourcesAreListedInOneMessageBeforeTheReplaceQuestion)
{
    leaveWrittenFile(output, 10 * kSecond, "old sound");
    addNamed({"A", "B", "C", "D", "E"});
    const ClipList listed = dialog().clipList();
    const QString missing = listed.at(0).path;
    const QString folderInstead = listed.at(2).path;
    const QString unreadable = listed.at(4).path;
    ASSERT_TRUE(QFile::remove(missing));
    ASSERT_TRUE(QFile::remove(folderInstead));
    ASSERT_TRUE(QDir().mkpath(folderInstead));
    QStringList expected = {missing + QStringLiteral(" does not exist."),
                            folderInstead + QStringLiteral(" is not a file.")};
    // Permissions do not stop the superuser from reading.
    if (QFile::setPermissions(unreadable, {}) && !shell.canOpenForReading(unreadable))
        expected.append(unreadable + QStringLiteral(" cannot be read."));
    dialogs.yesNoAnswers = {MessageAnswer::No, MessageAnswer::Yes};
    click(control::kJoin);

    ASSERT_EQ(dialogs.messages.size(), 1) << dialogs.texts().join('\n').toStdString();
    const MessageRequest& problems = dialogs.messages.front();
    EXPECT_EQ(problems.text, QStringLiteral("These files cannot be joined:\n\n%1\n\nChoose another file in place of each?")
                                 .arg(expected.join('\n')));
    EXPECT_EQ(problems.buttons, MessageButtons::YesNo);
    EXPECT_EQ(problems.icon, MessageIcon::Warning);
    EXPECT_TRUE(dialogs.openRequests.size() == 1) << "only the Add's chooser";
    EXPECT_EQ(contentsOf(output), QByteArray("old sound"));
    EXPECT_EQ(framework.callCount(FakeOp::CreateTimeline), 0);
    EXPECT_FALSE(dialog().joining());
    EXPECT_EQ(dialog().clipList(), listed);
}

struct ReplacementCase {
    const char* name;
    QStringList chosen;         // what the chooser answers: {} cancels
    MediaResult measureFailure; // kOk: the chosen file measures 7 s
    QStringList messagesAfter;  // %1 is the chosen file
    bool joins;
};

// A missing file replaced through the chooser joins with its own length, and
// its row says so; a replacement that cannot be used starts nothing.
TEST_F(JoinControlTest, AReplacementJoinsWithItsOwnMeasuredLength)
{
    const ReplacementCase cases[] = {
        {"measured", {QStringLiteral("other.mp3")}, result::kOk, {}, true},
        {"cancelled", {}, result::kOk, {}, false},
        {"no sound track",
         {QStringLiteral("other.mp3")},
         result::kNoAudioStream,
         {QStringLiteral("%1 has no sound track: there is nothing in it to join."),
          QStringLiteral("Can not get the duration of %1")},
         false},
    };
    for (const ReplacementCase& c : cases) {
        dialog_.reset();
        dialogs.messages.clear();
        dialogs.openRequests.clear();
        addNamed({"A", "B", "C"}); // 1 s, 2 s and 3 s
        const ClipList before = dialog().clipList();
        const QString missing = before.at(1).path;
        ASSERT_TRUE(QFile::remove(missing));
        QStringList chosen;
        for (const QString& name : c.chosen)
            chosen.append(makeFile(name));
        const QString replacement = chosen.value(0);
        if (!replacement.isEmpty()) {
            framework.setDuration(replacement.toStdString(), 7 * kSecond);
            if (c.measureFailure != result::kOk)
                framework.failProbe(replacement.toStdString(), FakeOp::RenderFile, c.measureFailure);
        }
        dialogs.yesNoAnswers = {MessageAnswer::Yes};
        dialogs.openAnswers.push_back(chosen);
        const int timelinesBefore = framework.callCount(FakeOp::CreateTimeline);
        click(control::kJoin);

        ASSERT_EQ(dialogs.openRequests.size(), 2) << c.name; // the Add's, then the replacement's
        EXPECT_EQ(dialogs.openRequests.back().title, QStringLiteral("Choose a file to replace %1").arg(missing))
            << c.name;
        QStringList expectedAfter = {dialogs.messages.value(0).text};
        for (const QString& text : c.messagesAfter)
            expectedAfter.append(text.arg(replacement));
        EXPECT_EQ(dialogs.texts(), expectedAfter) << c.name;
        EXPECT_EQ(dialog().joining(), c.joins) << c.name;
        expectViewAndAudioListMatch();
        if (!c.joins) {
            EXPECT_EQ(dialog().clipList(), before) << c.name;
            EXPECT_EQ(framework.callCount(FakeOp::CreateTimeline), timelinesBefore) << c.name;
            continue;
        }
        ASSERT_EQ(dialog().clipList().count(), 3);
        EXPECT_EQ(dialog().clipList().at(1), (ClipItem{replacement, 7 * kSecond}));
        // The timeline places it for its own length, and the next file after it.
        const auto timeline = framework.lastTimeline();
        std::shared_ptr<TimelineGroup> group;
        ASSERT_TRUE(timeline && succeeded(timeline->group(0, group)));
        const auto tracks = group->tracks();
        ASSERT_EQ(tracks.size(), 3u);
        const std::vector<std::pair<MediaTime, MediaTime>> expectedTimes = {
            {0, kSecond}, {kSecond, 8 * kSecond}, {8 * kSecond, 11 * kSecond}};
        for (std::size_t i = 0; i < tracks.size(); ++i) {
            MediaTime start = -1;
            MediaTime stop = -1;
            tracks[i]->sources().front()->startStop(start, stop);
            EXPECT_EQ(std::make_pair(start, stop), expectedTimes[i]) << i;
        }
        std::string name;
        tracks[1]->sources().front()->mediaName(name);
        EXPECT_EQ(QString::fromStdString(name), replacement);
        click(control::kJoin);
    }
}

TEST_F(JoinControlTest, AFileListedTwiceIsAskedAboutAndReplacedOnce)
{
    addNamed({"A"});
    const QString missing = dialog().clipList().at(0).path;
    dialogs.openAnswers.push_back({missing});
    click(control::kAdd);
    ASSERT_EQ(dialog().clipList().count(), 2);
    ASSERT_TRUE(QFile::remove(missing));
    const QString replacement = makeFile("other.mp3");
    framework.setDuration(replacement.toStdString(), 4 * kSecond);
    dialogs.yesNoAnswers = {MessageAnswer::Yes};
    dialogs.openAnswers.push_back({replacement});
    click(control::kJoin);

    EXPECT_EQ(dialogs.texts(), QStringList({QStringLiteral("These files cannot be joined:\n\n%1 does not exist."
                                                           "\n\nChoose another file in place of each?")
                                                .arg(missing)}));
    EXPECT_EQ(dialogs.openRequests.size(), 3);
    EXPECT_EQ(dialog().clipList().at(0), (ClipItem{replacement, 4 * kSecond}));
    EXPECT_EQ(dialog().clipList().at(1), (ClipItem{replacement, 4 * kSecond}));
    EXPECT_TRUE(dialog().joining());
    click(control::kJoin);
}

} // namespace
} // namespace kestrine::testing

namespace kestrine::testing {
namespace {

// Opening every source before the graph runs takes a while with many: the
// window stays live meanwhile, says so, and Stop ends the join at once
// without writing anything.
TEST_F(JoinControlTest, StopWhileTheSourcesAreCheckedEndsTheJoinAtOnce)
{
    addNamed({"A", "B", "C"});
    framework.holdValidation(true);
    now += 1000;
    QTest::mouseClick(button(control::kJoin), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return framework.callCount(FakeOp::ValidateSourceNames) == 1; }, 10'000));
    EXPECT_TRUE(dialog().joining());
    EXPECT_TRUE(dialog().preparingJoin());
    EXPECT_EQ(button(control::kJoin)->text(), QStringLiteral("Stop"));
    EXPECT_EQ(dialog().statusText(), QStringLiteral("Please wait... Checking the 3 files to join"));
    EXPECT_EQ(framework.callCount(FakeOp::Run), 0);

    QElapsedTimer stopping;
    stopping.start();
    now += 1000;
    QTest::mouseClick(button(control::kJoin), Qt::LeftButton);
    EXPECT_LT(stopping.elapsed(), 1000);
    EXPECT_FALSE(dialog().joining());
    EXPECT_FALSE(dialog().preparingJoin());
    EXPECT_EQ(button(control::kJoin)->text(), QStringLiteral("Join"));
    EXPECT_TRUE(dialog().statusText().startsWith(QStringLiteral("Stopped."))) << dialog().statusText().toStdString();
    QTest::qWait(50); // the check's late report changes nothing
    EXPECT_EQ(framework.callCount(FakeOp::Run), 0);
    EXPECT_FALSE(QFileInfo::exists(output));

    // The next join checks and runs as usual.
    framework.holdValidation(false);
    click(control::kJoin);
    EXPECT_TRUE(dialog().joining());
    EXPECT_EQ(framework.callCount(FakeOp::Run), 1);
    click(control::kJoin);
}

} // namespace
} // namespace kestrine::testing

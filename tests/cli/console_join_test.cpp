// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/console_join.h"

#include "cli/console_dialogs.h"
#include "tests/support/fake_media_framework.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

namespace kestrine::testing {
namespace {

constexpr MediaTime kSecond = kUnitsPerSecond;

struct ConsoleJoinTest : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        for (const char* name : {"a.mp3", "b.ogg", "c.wav"}) {
            const QString path = folder.filePath(QString::fromLatin1(name));
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            inputs.append(path);
        }
        fake.setDuration(inputs[0].toStdString(), 3 * kSecond);
        fake.setDuration(inputs[1].toStdString(), 5 * kSecond);
        fake.setDuration(inputs[2].toStdString(), 2 * kSecond);
        options.output = folder.filePath("out.wav");
        options.files = inputs;
    }

    int run(bool showProgress = false) { return join.run(options, interrupted, showProgress); }
    std::string messages() const { return err.str(); }
    // A graph that completes once the join has asked it how far it got.
    std::jthread completeOnceProgressIsAsked()
    {
        return std::jthread([this](std::stop_token stop) {
            while (!stop.stop_requested() && fake.callCount(FakeOp::CurrentPosition) == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            fake.postEvent({kEventComplete, 0, 0});
        });
    }

    QTemporaryDir folder;
    QStringList inputs;
    FakeMediaFramework fake;
    std::ostringstream err;
    ConsoleDialogs dialogs{err};
    ConsoleJoin join{fake, dialogs, err};
    JoinOptions options;
    std::atomic<bool> interrupted{false};
};

TEST_F(ConsoleJoinTest, CompletionEndsTheJoinWithSuccessAndReleasesEverything)
{
    fake.queueEvent({kEventComplete, 0, 0});
    EXPECT_EQ(run(), kExitJoined);
    EXPECT_EQ(messages(), "");

    std::vector<std::string> spans;
    for (const FakeCall& call : fake.callsOf(FakeOp::SetStartStop))
        spans.push_back(call.args);
    EXPECT_EQ(spans, (std::vector<std::string>{"0 30000000", "30000000 80000000",
                                               "80000000 100000000"}));
    EXPECT_EQ(fake.callCount(FakeOp::Run), 1);
    EXPECT_EQ(fake.callCount(FakeOp::Stop), 1);
    EXPECT_EQ(fake.callCount(FakeOp::ReleaseRenderEngine), 1);
    EXPECT_FALSE(fake.notifyRegistered());
}

TEST_F(ConsoleJoinTest, AbortEventFailsWithTheFrameworksText)
{
    fake.queueEvent({kEventErrorAbort, result::kDiskFull, 0});
    EXPECT_EQ(run(), kExitFailed);
    EXPECT_NE(messages().find("the join failed: " + FakeMediaFramework::fakeErrorText(result::kDiskFull)),
              std::string::npos)
        << messages();
    EXPECT_EQ(fake.callCount(FakeOp::Stop), 1);
    // This double writes no file, and the user is told so.
    EXPECT_NE(messages().find("Afterwards no file was written."), std::string::npos) << messages();
}

TEST_F(ConsoleJoinTest, UserAbortEventStopsTheJoinAsTheWindowDoes)
{
    fake.queueEvent({kEventUserAbort, 0, 0});
    EXPECT_EQ(run(), kExitInterrupted);
    EXPECT_NE(messages().find("stopped; no file was written"), std::string::npos) << messages();
    EXPECT_EQ(fake.callCount(FakeOp::Stop), 1);
    EXPECT_FALSE(fake.notifyRegistered());
}

TEST_F(ConsoleJoinTest, NotificationWakesTheWaitingJoin)
{
    // With a wait this long, only the graph's notification can end it in time.
    join.pollInterval = std::chrono::minutes(10);
    std::jthread graphThread([this](std::stop_token stop) {
        while (!stop.stop_requested() && !fake.notifyRegistered())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        fake.postEvent({kEventComplete, 0, 0});
    });
    EXPECT_EQ(run(), kExitJoined);
}

// After a stop the user is told what the output path holds: the new file,
// the old file untouched, or nothing at all.
struct WhatIsLeftCase {
    const char* name;
    bool oldFile;     // the output existed before the join (-y)
    bool joinWrites;  // the join put a file of its own in its place
    const char* said; // with %1 for the output's path
};

void PrintTo(const WhatIsLeftCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class ConsoleJoinStopTest : public ConsoleJoinTest, public ::testing::WithParamInterface<WhatIsLeftCase> {};

TEST_P(ConsoleJoinStopTest, InterruptStopsTheGraphAndSaysWhatIsLeft)
{
    const WhatIsLeftCase& c = GetParam();
    if (c.oldFile) {
        QFile old(options.output);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        options.overwrite = true;
    }
    std::jthread userThread([&](std::stop_token stop) {
        while (!stop.stop_requested() && fake.callCount(FakeOp::Run) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (c.joinWrites) {
            // As the engine does: a new file takes the old one's place.
            QFile written(options.output + ".new");
            written.open(QIODevice::WriteOnly);
            written.close();
            QFile::remove(options.output);
            QFile::rename(options.output + ".new", options.output);
        }
        interrupted = true;
    });
    EXPECT_EQ(run(), kExitInterrupted);
    EXPECT_EQ(fake.callCount(FakeOp::Stop), 1);
    const std::string said = "stopped; " + QString::fromLatin1(c.said).arg(options.output).toStdString();
    EXPECT_NE(messages().find(said), std::string::npos) << messages();
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, ConsoleJoinStopTest,
    ::testing::Values(WhatIsLeftCase{"NothingWritten", false, false, "no file was written"},
                      WhatIsLeftCase{"OldFileUntouched", true, false,
                                     "nothing was written and %1 was left as it was"},
                      WhatIsLeftCase{"NewFileInPlace", false, true, "%1 holds what was written so far"},
                      WhatIsLeftCase{"OldFileReplaced", true, true, "%1 holds what was written so far"}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST_F(ConsoleJoinTest, ProgressLineShowsPercentElapsedAndTimeLeft)
{
    fake.setCurrentPosition(5 * kSecond);
    join.pollInterval = std::chrono::milliseconds(1);
    std::jthread graphThread = completeOnceProgressIsAsked();
    EXPECT_EQ(run(true), kExitJoined);
    const std::string shown = messages();
    EXPECT_NE(shown.find(" 50.0%  elapsed 00:00:00  left "), std::string::npos) << shown;
    EXPECT_NE(shown.find("100.0%  elapsed "), std::string::npos) << shown;
    EXPECT_EQ(shown.back(), '\n');
}

struct RoadCase {
    const char* name;
    JoinRoad road;
    const char* words;
};

class ConsoleJoinRoadTest : public ConsoleJoinTest, public ::testing::WithParamInterface<RoadCase> {};

// The line says which road the join takes once the graph knows it, to its last drawing.
TEST_P(ConsoleJoinRoadTest, ProgressLineNamesTheJoinsRoad)
{
    fake.setRoad(GetParam().road);
    fake.setCurrentPosition(5 * kSecond);
    join.pollInterval = std::chrono::milliseconds(1);
    std::jthread graphThread = completeOnceProgressIsAsked();
    EXPECT_EQ(run(true), kExitJoined);
    const std::string shown = messages();
    const std::string words = std::string("  ") + GetParam().words;
    const std::size_t first = shown.find(words);
    ASSERT_NE(first, std::string::npos) << shown;
    EXPECT_LT(shown.find(" 50.0%"), first) << shown;
    EXPECT_GT(shown.rfind(words), shown.find("100.0%")) << "the final line names it too: " << shown;
}

INSTANTIATE_TEST_SUITE_P(Roads, ConsoleJoinRoadTest,
                         ::testing::Values(RoadCase{"Copy", JoinRoad::Copy, "copying frames"},
                                           RoadCase{"Encode", JoinRoad::Encode, "encoding"}),
                         [](const auto& tested) { return std::string(tested.param.name); });

TEST_F(ConsoleJoinTest, UnmeasurableFilesAreAllNamedAndNothingIsJoined)
{
    fake.failProbe(inputs[0].toStdString(), FakeOp::RenderFile, result::kNoAudioStream);
    fake.failProbe(inputs[2].toStdString(), FakeOp::StopPosition, result::kDecodeFailed);
    EXPECT_EQ(run(), kExitFailed);
    const std::string shown = messages();
    EXPECT_NE(shown.find(inputs[0].toStdString() + " has no sound track: there is nothing in it to join."),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("Cannot measure " + inputs[2].toStdString() + ": " +
                         FakeMediaFramework::fakeErrorText(result::kDecodeFailed)),
              std::string::npos)
        << shown;
    EXPECT_EQ(shown.find(inputs[1].toStdString()), std::string::npos);
    EXPECT_EQ(fake.callCount(FakeOp::CreateTimeline), 0);
}

TEST_F(ConsoleJoinTest, ExistingOutputIsReplacedOnlyWithOverwrite)
{
    QFile existing(options.output);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("keep me");
    existing.close();

    EXPECT_EQ(run(), kExitFailed);
    EXPECT_NE(messages().find(options.output.toStdString() + " exists; use -y to replace it"),
              std::string::npos);
    EXPECT_TRUE(QFile::exists(options.output));
    EXPECT_EQ(fake.callCount(FakeOp::CreateFilterGraph), 0);

    options.overwrite = true;
    fake.queueEvent({kEventComplete, 0, 0});
    EXPECT_EQ(run(), kExitJoined);
    // Replacing it is the engine's work, when its new file is done: the
    // console deletes nothing up front (and this double writes nothing).
    QFile kept(options.output);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "keep me");
}

TEST_F(ConsoleJoinTest, GraphThatCannotStartFailsAfterItsOwnMessage)
{
    fake.failCreateFilter(kWaveMuxClassId, result::kNotRegistered);
    EXPECT_EQ(run(), kExitFailed);
    EXPECT_EQ(messages(),
              "kestrine-join: The program does not detect its file writer. Please install the "
              "program again!\nkestrine-join: the join could not be started\n");
}

struct RefusalCase {
    friend void PrintTo(const RefusalCase& tested, std::ostream* out) { *out << tested.name; }
    const char* name;
    std::function<void(JoinOptions&, const QTemporaryDir&)> change;
    int exitCode;
    std::string message;
};

class ConsoleJoinRefusalTest : public ConsoleJoinTest,
                               public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ConsoleJoinRefusalTest, RefusesBeforeTouchingAnyFile)
{
    GetParam().change(options, folder);
    EXPECT_EQ(run(), GetParam().exitCode);
    EXPECT_NE(messages().find(GetParam().message), std::string::npos) << messages();
    EXPECT_TRUE(fake.calls().empty());
    for (const QString& input : inputs)
        EXPECT_TRUE(QFile::exists(input));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ConsoleJoinRefusalTest,
    ::testing::Values(
        RefusalCase{"NoFiles", [](JoinOptions& o, const QTemporaryDir&) { o.files.clear(); },
                    kExitUsage, "no files to join"},
        RefusalCase{"NoOutput", [](JoinOptions& o, const QTemporaryDir&) { o.output.clear(); },
                    kExitUsage, "no output file"},
        RefusalCase{"MoreThanAThousand",
                    [](JoinOptions& o, const QTemporaryDir&) {
                        while (o.files.size() <= kMostFilesPerJoin)
                            o.files.append(o.files.front());
                    },
                    kExitUsage, "1001 files are too many: a join takes at most 1000"},
        RefusalCase{"OutputIsAnInput",
                    [](JoinOptions& o, const QTemporaryDir&) {
                        o.overwrite = true;
                        o.output = o.files[1];
                    },
                    kExitUsage, "is also one of the files to join"},
        RefusalCase{"OutputIsAnInputByAnotherName",
                    [](JoinOptions& o, const QTemporaryDir& dir) {
                        o.overwrite = true;
                        o.output = dir.path() + "/./sub/../b.ogg";
                        QDir(dir.path()).mkdir("sub");
                    },
                    kExitUsage, "is also one of the files to join"},
        RefusalCase{"OutputIsAFolder",
                    [](JoinOptions& o, const QTemporaryDir& dir) {
                        o.overwrite = true;
                        o.output = dir.path();
                    },
                    kExitFailed, "is a folder"}),
    [](const auto& tested) { return std::string(tested.param.name); });

} // namespace
} // namespace kestrine::testing

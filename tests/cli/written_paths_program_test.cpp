// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/exit_codes.h"
#include "tests/cli/program_run.h"
#include "tests/support/test_media.h"
#include "tests/support/wav_assertions.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

// Every name kestrine-join writes (the output, its partial file, the cue
// sheet and the label list) is checked before any file to join is read, and
// a refusal says what is wrong in its own words.
namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;

class WrittenPathsTest : public ::testing::Test {
public:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        testmedia::ToneSpec spec;
        spec.seconds = 0.1;
        const testmedia::Generated file = testmedia::writeTone(dir.path().toStdString(), "a", MediaFormat::WavS16, spec);
        ASSERT_TRUE(file) << file.message;
        input = QString::fromStdString(file.path);
        // Text named like a sound: measuring it fails, so a refusal that
        // comes instead of that failure came before any file was read.
        ASSERT_TRUE(testmedia::writeBytes(path("notes.mp3").toStdString(), "not a sound\n"));
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    bool makeLink(const QString& target, const QString& at) const
    {
        return ::symlink(target.toStdString().c_str(), path(at).toStdString().c_str()) == 0;
    }
    // Names in the folder, the tone and the text file left out.
    QStringList written() const
    {
        QStringList names = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
        names.removeAll(QStringLiteral("a.wav"));
        names.removeAll(QStringLiteral("notes.mp3"));
        return names;
    }

    QTemporaryDir dir;
    QString input;
};

struct RefusedCase {
    const char* name;
    // Prepares the folder and gives the options naming what is written.
    std::function<QStringList(WrittenPathsTest&)> options;
    int exitCode;
    const char* message; // %1 is the folder
    std::size_t copiesOfInput = 1;
};

void PrintTo(const RefusedCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class RefusedPathTest : public WrittenPathsTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedPathTest, IsRefusedBeforeAnyFileIsRead)
{
    QStringList arguments = GetParam().options(*this);
    const QStringList before = written();
    for (std::size_t i = 0; i < GetParam().copiesOfInput; ++i)
        arguments.append(input);
    arguments.append(path("notes.mp3"));

    const ProgramRun run = runProgram(arguments);
    EXPECT_EQ(run.exitCode, GetParam().exitCode) << run.err.toStdString();
    QString message = QString::fromUtf8(GetParam().message);
    if (message.contains(QStringLiteral("%1")))
        message = message.arg(dir.path());
    EXPECT_TRUE(run.err.contains(message))
        << run.err.toStdString();
    EXPECT_FALSE(run.err.contains(QStringLiteral("notes.mp3"))) << run.err.toStdString();
    EXPECT_EQ(written(), before) << "the refused join wrote something";
}

INSTANTIATE_TEST_SUITE_P(
    Names, RefusedPathTest,
    ::testing::Values(
        RefusedCase{"CueSheetInAFolderThatDoesNotExist",
                    [](auto& f) { return QStringList{"-o", f.path("out.wav"), "--cue", f.path("none/out.cue")}; },
                    kExitFailed, "The cue sheet %1/none/out.cue cannot be written: its folder %1/none does not exist."},
        RefusedCase{"LabelListInAFolderThatDoesNotExist",
                    [](auto& f) { return QStringList{"-o", f.path("out.wav"), "--labels", f.path("none/out.txt")}; },
                    kExitFailed, "its folder %1/none does not exist."},
        RefusedCase{"OutputInAFolderThatDoesNotExist",
                    [](auto& f) { return QStringList{"-o", f.path("none/out.wav")}; }, kExitFailed,
                    "The output file %1/none/out.wav cannot be written: its folder %1/none does not exist."},
        RefusedCase{"CueSheetIsTheOutputsPartialFile",
                    [](auto& f) { return QStringList{"-o", f.path("out.wav"), "--cue", f.path("out.wav.part")}; },
                    kExitUsage,
                    "The cue sheet %1/out.wav.part is the partial file that the output file %1/out.wav is written "
                    "into until it is complete."},
        RefusedCase{"OutputIsTheCueSheetsPartialFile",
                    [](auto& f) { return QStringList{"-o", f.path("j.cue.part"), "--cue", f.path("j.cue")}; },
                    kExitUsage, "The output file %1/j.cue.part is the partial file that the cue sheet %1/j.cue"},
        RefusedCase{"CueSheetIsTheLabelListsPartialFile",
                    [](auto& f) {
                        return QStringList{"-o", f.path("out.wav"), "--cue", f.path("j.txt.part"), "--labels",
                                           f.path("j.txt")};
                    },
                    kExitUsage, "The cue sheet %1/j.txt.part is the partial file that the label list %1/j.txt"},
        RefusedCase{"AFolderWhereThePartialFileGoes",
                    [](auto& f) {
                        QDir(f.dir.path()).mkdir("out.flac.part");
                        return QStringList{"-o", f.path("out.flac")};
                    },
                    kExitFailed,
                    "The output file %1/out.flac cannot be written: it is written as %1/out.flac.part until it is "
                    "complete, and a folder stands at that name."},
        RefusedCase{"ALinkIntoAFolderThatDoesNotExist",
                    [](auto& f) {
                        EXPECT_TRUE(f.makeLink(f.path("none/target.wav"), "out.wav"));
                        return QStringList{"-o", f.path("out.wav")};
                    },
                    kExitFailed,
                    "The output file %1/out.wav is a link to %1/none/target.wav, whose folder does not exist."},
        RefusedCase{"ALoopOfLinks",
                    [](auto& f) {
                        EXPECT_TRUE(f.makeLink(f.path("b.wav"), "out.wav"));
                        EXPECT_TRUE(f.makeLink(f.path("out.wav"), "b.wav"));
                        return QStringList{"-y", "-o", f.path("out.wav")};
                    },
                    kExitFailed, "The output file %1/out.wav is a link that leads round in a loop."},
        RefusedCase{"ANameLongerThanTheSystemAllows",
                    [](auto& f) { return QStringList{"-o", f.path(QString(252, u'n') + ".wav")}; }, kExitFailed,
                    "is longer than the system allows."},
        RefusedCase{"ACueSheetOfMoreThan99Tracks",
                    [](auto& f) { return QStringList{"-o", f.path("out.wav"), "--cue", f.path("out.cue")}; },
                    kExitUsage, "A cue sheet holds at most 99 tracks, one per file, and 101 files were given", 100}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST_F(WrittenPathsTest, ANameTooLongForItsPartialFileIsStillJoined)
{
    // 255 bytes: the longest name there is, and no room for ".part".
    const QString output = path(QString(251, u'n') + ".wav");
    const ProgramRun run = runProgram({"-o", output, input, input});
    ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
    EXPECT_TRUE(testmedia::isJoinedWav(testmedia::readWav(output.toStdString()), 8820));
    EXPECT_EQ(written(), QStringList{QFileInfo(output).fileName()});
}

TEST_F(WrittenPathsTest, ADanglingLinkIsFollowedToWhereItLeads)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("real"));
    ASSERT_TRUE(makeLink(path("real/target.wav"), "out.wav"));
    const ProgramRun run = runProgram({"-o", path("out.wav"), input});
    ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
    EXPECT_TRUE(QFileInfo(path("out.wav")).isSymLink());
    EXPECT_TRUE(testmedia::isJoinedWav(testmedia::readWav(path("real/target.wav").toStdString()), 4410));
    EXPECT_EQ(QDir(path("real")).entryList(QDir::Files), QStringList{"target.wav"});
}

TEST_F(WrittenPathsTest, ACueSheetOf99TracksIsWritten)
{
    QStringList arguments{"-o", path("out.wav"), "--cue", path("out.cue")};
    for (int i = 0; i < 99; ++i)
        arguments.append(input);
    const ProgramRun run = runProgram(arguments);
    ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
    const std::string cue = testmedia::readBytes(path("out.cue").toStdString());
    EXPECT_NE(cue.find("  TRACK 99 AUDIO\n"), std::string::npos);
    EXPECT_EQ(cue.find("TRACK 100"), std::string::npos);
}

// Two joins to one output at once: the second is refused and says so, and
// the first completes, its partial file never touched by the second.
TEST_F(WrittenPathsTest, ASecondJoinToTheSameOutputLeavesTheFirstAlone)
{
    testmedia::ToneSpec spec;
    spec.seconds = 30;
    const testmedia::Generated longer = testmedia::writeTone(dir.path().toStdString(), "long", MediaFormat::WavS16, spec);
    ASSERT_TRUE(longer) << longer.message;
    QStringList first{"-o", path("out.flac")};
    for (int i = 0; i < 20; ++i)
        first.append(QString::fromStdString(longer.path));

    QProcess firstJoin;
    firstJoin.start(QStringLiteral(KESTRINE_JOIN_PATH), first);
    ASSERT_TRUE(firstJoin.waitForStarted());
    const std::string partial = path("out.flac.part").toStdString();
    struct stat status {};
    for (int i = 0; i < 2000 && ::stat(partial.c_str(), &status) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(::stat(partial.c_str(), &status), 0) << "the first join never began to write";

    const ProgramRun second = runProgram({"-y", "-o", path("out.flac"), input});
    const ProgramRun firstRun = endOf(firstJoin, 120'000);
    EXPECT_EQ(second.exitCode, kExitFailed) << second.err.toStdString();
    EXPECT_EQ(second.err.trimmed(),
              QStringLiteral("kestrine-join: the join failed: Another join is writing the same output file right "
                             "now; this one wrote nothing."));
    ASSERT_EQ(firstRun.exitCode, kExitJoined) << firstRun.err.toStdString();
    EXPECT_EQ(testmedia::countDecodedFrames(path("out.flac").toStdString()).frames, 20 * 30 * 44'100);
    EXPECT_EQ(written(), (QStringList{"long.wav", "out.flac"}));
}

// Whether the process listens for SIGINT yet: before its first instruction
// the system is still loading its libraries, and the signal does what the
// parent arranged.
bool catchesInterrupt(qint64 pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (SIGINT - 1)) & 1;
    }
    return false;
}

// Ctrl-C is heard in every phase of a join of many files, from measuring
// them to writing: moments spread over a whole run all end in a stop.
TEST_F(WrittenPathsTest, AnInterruptStopsAJoinOfAThousandFilesInAnyPhase)
{
    testmedia::ToneSpec spec;
    spec.seconds = 0.05;
    const testmedia::Generated file = testmedia::writeTone(dir.path().toStdString(), "t", MediaFormat::Flac, spec);
    ASSERT_TRUE(file) << file.message;
    ASSERT_TRUE(QDir(dir.path()).mkdir("many"));
    QStringList arguments{"-y", "-o", path("out.wav")};
    for (int i = 0; i < 1000; ++i) {
        const QString name = path(QStringLiteral("many/%1 %2.flac").arg(i, 4, 10, QLatin1Char('0')).arg(QString(200, u'x')));
        ASSERT_EQ(::link(file.path.c_str(), name.toStdString().c_str()), 0);
        arguments.append(name);
    }
    const auto started = std::chrono::steady_clock::now();
    const ProgramRun whole = runProgram(arguments);
    ASSERT_EQ(whole.exitCode, kExitJoined) << whole.err.toStdString();
    const auto took = std::chrono::steady_clock::now() - started;

    for (const double moment : {0.0, 0.1, 0.3, 0.5}) {
        SCOPED_TRACE(::testing::Message() << "interrupted at " << moment << " of a whole run");
        QProcess join;
        join.start(QStringLiteral(KESTRINE_JOIN_PATH), arguments);
        ASSERT_TRUE(join.waitForStarted());
        for (int i = 0; i < 2000 && !catchesInterrupt(join.processId()); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::duration_cast<std::chrono::milliseconds>(took * moment));
        ::kill(static_cast<pid_t>(join.processId()), SIGINT);
        const ProgramRun run = endOf(join, 60'000);
        EXPECT_EQ(run.exitCode, kExitInterrupted) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("kestrine-join: stopped"))) << run.err.toStdString();
    }
}

} // namespace
} // namespace kestrine::testing

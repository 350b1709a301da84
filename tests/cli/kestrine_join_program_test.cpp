// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/console_join.h"
#include "media/measure_duration.h"
#include "media/render_plan.h"
#include "tests/cli/program_run.h"
#include "tests/support/test_media.h"
#include "tests/support/wav_assertions.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/types.h>
#include <iostream>
#include <unistd.h>

// The built program itself, run as a script would run it.
namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;

class KestrineJoinProgramTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& name) const { return dir.filePath(name); }

    // A tone of exactly frames samples at 44,100 Hz; empty when this machine
    // cannot encode the format.
    QString tone(const std::string& name, MediaFormat format, std::int64_t frames,
                 double amplitude = 0.5)
    {
        testmedia::ToneSpec spec;
        spec.frames = frames;
        spec.amplitude = amplitude;
        const testmedia::Generated file =
            testmedia::writeTone(dir.path().toStdString(), name, format, spec);
        if (file.status == testmedia::Status::Unavailable) {
            unavailable.push_back(testmedia::nameOf(format) + ": " + file.message);
            return {};
        }
        EXPECT_TRUE(file) << file.message;
        return QString::fromStdString(file.path);
    }

    QTemporaryDir dir;
    std::vector<std::string> unavailable;
};

TEST_F(KestrineJoinProgramTest, JoinsSeveralFormatsIntoExactlyTheirFrames)
{
    struct Piece {
        MediaFormat format;
        std::int64_t frames;
    };
    const std::vector<Piece> pieces{{MediaFormat::WavS16, 22'050},
                                    {MediaFormat::Mp3, 57'330},
                                    {MediaFormat::Ogg, 33'957},
                                    {MediaFormat::Flac, 44'100},
                                    {MediaFormat::M4a, 30'000},
                                    {MediaFormat::WavU8, 12'345}};
    // None has more than 16 bits, so the join is the 16-bit WAV it checks for;
    // deeper sources have tests of their own.
    QStringList arguments{"-o", path("joined.wav")};
    MediaTime total = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const QString file = tone("piece" + std::to_string(i), pieces[i].format, pieces[i].frames);
        if (file.isEmpty())
            continue;
        // The join places every file at its measured length; lossless files
        // measure exactly the frames written into them.
        MediaTime length = 0;
        ASSERT_EQ(measureDuration(file.toStdString(), length), result::kOk);
        total += length;
        if (pieces[i].format == MediaFormat::WavS16 || pieces[i].format == MediaFormat::Flac ||
            pieces[i].format == MediaFormat::WavU8) {
            EXPECT_EQ(frameAt(length, 44'100), pieces[i].frames) << testmedia::nameOf(pieces[i].format);
        }
        arguments.append(file);
    }
    ASSERT_GE(arguments.size(), 5) << "too few encoders on this machine";
    const std::int64_t expected = frameAt(total, 44'100);

    const ProgramRun run = runProgram(arguments);
    ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
    // Not a terminal: no progress line, and nothing else to say on success.
    EXPECT_EQ(run.err, QString());

    EXPECT_TRUE(testmedia::isJoinedWav(testmedia::readWav(path("joined.wav").toStdString()), expected));
}

TEST_F(KestrineJoinProgramTest, FilesAreJoinedInTheGivenOrder)
{
    const QString quiet = tone("quiet", MediaFormat::WavS16, 4410, 0.0);
    const QString loud = tone("loud", MediaFormat::WavS16, 4410, 0.5);
    const ProgramRun run = runProgram({"-o", path("out.wav"), quiet, loud, quiet});
    ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
    const testmedia::WavData wav = testmedia::readWav(path("out.wav").toStdString());
    ASSERT_TRUE(wav.ok) << wav.message;
    ASSERT_EQ(wav.frames(), 3 * 4410);
    const auto peak = [&](std::int64_t first, std::int64_t end) {
        int highest = 0;
        for (std::int64_t n = first; n < end; ++n)
            highest = std::max(highest, std::abs(static_cast<int>(wav.at(n, 0))));
        return highest;
    };
    EXPECT_EQ(peak(0, 4410), 0);
    EXPECT_GT(peak(4410, 8820), 10'000);
    EXPECT_EQ(peak(8820, 13'230), 0);
}

TEST_F(KestrineJoinProgramTest, MeasurePrintsEachLengthInOrderAndJoinsNothing)
{
    const QString tenth = tone("tenth", MediaFormat::WavS16, 4410);
    const QString half = tone("half", MediaFormat::WavS16, 22'050);
    ProgramRun run = runProgram({"--measure", half, tenth});
    ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("0.5000000\t%1\n0.1000000\t%2\n").arg(half, tenth));

    QFile text(path("notes.mp3"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("these are not sounds");
    text.close();
    run = runProgram({"--measure", tenth, path("notes.mp3")});
    EXPECT_EQ(run.exitCode, kExitFailed);
    EXPECT_EQ(run.out, QStringLiteral("0.1000000\t%1\n").arg(tenth));
    EXPECT_TRUE(run.err.contains(QStringLiteral("Cannot open %1: ").arg(path("notes.mp3"))))
        << run.err.toStdString();
}

TEST_F(KestrineJoinProgramTest, ExistingOutputIsKeptWithoutOverwrite)
{
    const QString input = tone("a", MediaFormat::WavS16, 4410);
    QFile existing(path("out.wav"));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("old contents");
    existing.close();

    ProgramRun run = runProgram({"-o", path("out.wav"), input});
    EXPECT_EQ(run.exitCode, kExitFailed);
    EXPECT_TRUE(run.err.contains("exists; use -y to replace it")) << run.err.toStdString();
    QFile kept(path("out.wav"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("old contents"));
    kept.close();

    run = runProgram({"-y", "-o", path("out.wav"), input});
    EXPECT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
    const testmedia::WavData wav = testmedia::readWav(path("out.wav").toStdString());
    ASSERT_TRUE(wav.ok) << wav.message;
    EXPECT_EQ(wav.frames(), 4410);
}

TEST_F(KestrineJoinProgramTest, RefusalsAndTheirExitCodes)
{
    const QString input = tone("a", MediaFormat::WavS16, 4410);
    ASSERT_TRUE(testmedia::writeBytes(path("notes.mp3").toStdString(), "just some text\n"));

    struct Case {
        const char* name;
        QStringList arguments;
        int exitCode;
        QString message;
    };
    const std::vector<Case> cases{
        {"no files", {"-o", path("out.wav")}, kExitUsage, "no files to join"},
        {"output is an input", {"-y", "-o", input, input}, kExitUsage,
         "is also one of the files to join"},
        {"unmeasurable file", {"-o", path("out.wav"), input, path("notes.mp3")}, kExitFailed,
         "Cannot open " + path("notes.mp3")},
        {"missing file", {"-o", path("out.wav"), path("gone.wav")}, kExitFailed,
         "Cannot open " + path("gone.wav")},
        {"unknown option", {"--loud", "-o", path("out.wav"), input}, kExitUsage,
         "unknown option --loud"},
        {"output folder missing", {"-o", path("none/out.wav"), input}, kExitFailed,
         "its folder " + path("none") + " does not exist"},
    };
    for (const Case& tested : cases) {
        const ProgramRun run = runProgram(tested.arguments);
        EXPECT_EQ(run.exitCode, tested.exitCode) << tested.name << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(tested.message)) << tested.name << ": " << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(path("out.wav"))) << tested.name;
        // Only the program's own words, none of FFmpeg's log lines.
        for (const QString& line : run.err.split('\n', Qt::SkipEmptyParts))
            EXPECT_TRUE(line.startsWith("kestrine-join: ")) << tested.name << ": " << line.toStdString();
    }
    QFile source(input);
    EXPECT_GT(source.size(), 4410 * 4) << "the input must survive";
}

// Each kind of unreadable source is named for what it is, not lumped into one
// "could not be opened".
TEST_F(KestrineJoinProgramTest, EachUnreadableSourceSaysItsOwnReason)
{
    testmedia::UnjoinableFiles files;
    const testmedia::Generated made = testmedia::writeUnjoinableFiles(dir.path().toStdString(), files);
    if (made.status == testmedia::Status::Unavailable)
        GTEST_SKIP() << made.message;
    ASSERT_TRUE(made) << made.message;
    const QString locked = QString::fromStdString(files.unreadable);

    struct Case {
        const char* name;
        QString file;
        QString reason;
    };
    const std::vector<Case> cases{
        {"missing file", QString::fromStdString(files.missing), "The file does not exist."},
        {"no read permission", locked, "Permission to read or write the file was denied."},
        {"text named .mp3", QString::fromStdString(files.text),
         "The file is not a media file that can be read, or its data is damaged."},
        {"video without sound", QString::fromStdString(files.silentVideo), ""},
    };
    for (const Case& tested : cases) {
        // Permission bits do not stop root from reading.
        if (tested.file == locked && ::geteuid() == 0) {
            std::cout << "[ NOTE     ] " << tested.name << ": not checked as root\n";
            continue;
        }
        const ProgramRun run = runProgram({"-o", path("out.wav"), tested.file});
        EXPECT_EQ(run.exitCode, kExitFailed) << tested.name;
        const QString said = tested.reason.isEmpty()
                                 ? tested.file + " has no sound track: there is nothing in it to join."
                                 : "Cannot open " + tested.file + ": " + tested.reason;
        EXPECT_TRUE(run.err.contains(said))
            << tested.name << ": " << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(path("out.wav"))) << tested.name;
    }
}

TEST_F(KestrineJoinProgramTest, HelpAndVersion)
{
    ProgramRun run = runProgram({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.startsWith("Usage: kestrine-join -o OUTPUT [-y] FILE...")) << run.out.toStdString();
    run = runProgram({"--version"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, QStringLiteral("kestrine-join %1\n").arg(KESTRINE_VERSION));
}

TEST_F(KestrineJoinProgramTest, InterruptLeavesAValidWav)
{
    // Long enough that the interrupt lands while the join runs.
    QStringList arguments{"-o", path("long.wav")};
    for (int i = 0; i < 4; ++i) {
        const QString file = tone("long" + std::to_string(i), MediaFormat::Flac, 44'100 * 120);
        ASSERT_FALSE(file.isEmpty());
        arguments.append(file);
    }
    const ProgramRun run = interruptProgram(arguments, path("long.wav.part").toStdString());
    // A machine fast enough to finish first still leaves a whole, valid file.
    ASSERT_TRUE(run.exitCode == kExitInterrupted || run.exitCode == kExitJoined) << run.err.toStdString();
    if (run.exitCode == kExitInterrupted) {
        EXPECT_TRUE(run.err.contains("holds what was written so far")) << run.err.toStdString();
    }
    const testmedia::WavData wav = testmedia::readWav(path("long.wav").toStdString());
    ASSERT_TRUE(wav.ok) << wav.message;
    EXPECT_EQ(wav.headerFrames, wav.frames());
    EXPECT_LE(wav.frames(), 4 * 44'100 * 120);
}

} // namespace
} // namespace kestrine::testing

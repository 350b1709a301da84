// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/install/installed_tree.h"
#include "tests/support/test_media.h"
#include "tests/support/wav_assertions.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The installed programs, run as a user would run them from /usr/bin.
namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;

class InstalledProgramsTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString tone(const std::string& name, MediaFormat format, std::int64_t frames)
    {
        testmedia::ToneSpec spec;
        spec.frames = frames;
        const testmedia::Generated file =
            testmedia::writeTone(dir.path().toStdString(), name, format, spec);
        EXPECT_TRUE(file) << file.message;
        return QString::fromStdString(file.path);
    }

    // A desktop session of its own: headless, with settings in the test's folder.
    QProcessEnvironment session() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           dir.filePath(QStringLiteral("config")));
        return environment;
    }

    QTemporaryDir dir;
};

TEST_F(InstalledProgramsTest, JoinShowsItsVersionAndJoins)
{
    const QString join = installedPath(QStringLiteral("bin/kestrine-join"));
    const ProgramRun version = runProgram(join, {QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("kestrine-join " KESTRINE_VERSION "\n"));

    const QString first = tone("first", MediaFormat::WavS16, 22'050);
    const QString second = tone("second", MediaFormat::WavS16, 30'000);
    const QString output = dir.filePath(QStringLiteral("joined.wav"));
    const ProgramRun run = runProgram(join, {QStringLiteral("-o"), output, first, second});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(testmedia::isJoinedWav(testmedia::readWav(output.toStdString()), 52'050));
}

// Files given on the command line are measured and listed as Add lists them,
// a relative name from the folder the program was started in, and the folder
// of the last one is remembered for the next Add.
TEST_F(InstalledProgramsTest, WindowListsTheFilesOfItsCommandLine)
{
    const QString first = tone("first", MediaFormat::WavS16, 2 * 44'100 + 100);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("more")));
    const QString second = tone("more/second", MediaFormat::WavS16, 3 * 44'100 + 44'000);

    const ProgramRun run =
        runProgram(installedPath(QStringLiteral("bin/kestrine")),
                   {QStringLiteral("--test-list-and-quit"), QStringLiteral("first.wav"), second},
                   session(), dir.path());
    ASSERT_TRUE(run.finished) << run.err.toStdString();
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("first.wav\t2\nsecond.wav\t3\n")) << run.err.toStdString();

    QFile settings(dir.filePath(QStringLiteral("config/Tallowmere/kestrine.conf")));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        QString::fromUtf8(settings.readAll())
            .contains(
                QStringLiteral("LastPhotoFolder=%1/").arg(dir.filePath(QStringLiteral("more")))));
}

TEST_F(InstalledProgramsTest, WindowAnswersHelpAndVersionWithoutADisplay)
{
    QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        noDisplay.remove(QString::fromLatin1(name));
    const QString program = installedPath(QStringLiteral("bin/kestrine"));

    const ProgramRun help = runProgram(program, {QStringLiteral("--help")}, noDisplay);
    EXPECT_EQ(help.exitCode, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: kestrine [FILE...]\n")))
        << help.out.toStdString();

    const ProgramRun version =
        runProgram(program, {QStringLiteral("some.mp3"), QStringLiteral("--version")}, noDisplay);
    EXPECT_EQ(version.exitCode, 0) << version.err.toStdString();
    EXPECT_EQ(version.out, QStringLiteral("kestrine " KESTRINE_VERSION "\n"));

    const ProgramRun wrong = runProgram(program, {QStringLiteral("--frobnicate")}, session());
    EXPECT_EQ(wrong.exitCode, 2);
    EXPECT_TRUE(wrong.out.isEmpty());
    EXPECT_TRUE(
        wrong.err.contains(QStringLiteral("kestrine: unknown option --frobnicate (see --help)")))
        << wrong.err.toStdString();
}

} // namespace
} // namespace kestrine::testing

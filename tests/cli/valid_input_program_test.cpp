// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/console_join.h"
#include "tests/cli/program_run.h"
#include "tests/support/test_media.h"
#include "tests/support/wav_assertions.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

// Valid files that look unusual, joined by the built program.
namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;

// The file ends with a "data" chunk that says it holds nothing.
bool endsWithEmptyDataChunk(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    return bytes.endsWith(QByteArray("data\0\0\0\0", 8));
}

class ValidInputProgramTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& name) const { return dir.filePath(name); }

    QString wav(const std::string& name, const testmedia::ToneSpec& tone)
    {
        const testmedia::Generated file =
            testmedia::writeTone(dir.path().toStdString(), name, MediaFormat::WavS16, tone);
        EXPECT_TRUE(file) << file.message;
        return QString::fromStdString(file.path);
    }

    QTemporaryDir dir;
};

testmedia::ToneSpec framesOf(std::int64_t frames, std::int64_t firstSample = 0, int channels = 2)
{
    testmedia::ToneSpec tone;
    tone.frames = frames;
    tone.firstSample = firstSample;
    tone.channels = channels;
    return tone;
}

// An empty WAV measures 0 and takes no room in a join, wherever it stands,
// even when it is all there is.
TEST_F(ValidInputProgramTest, EmptyWavIsAnItemOfLengthZero)
{
    const QString empty = wav("empty", framesOf(0));
    const QString first = wav("first", framesOf(4410));
    const QString second = wav("second", framesOf(4410, 4410));

    ProgramRun run = runProgram({"--measure", empty});
    ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("0.0000000\t%1\n").arg(empty));

    struct Case {
        const char* name;
        QStringList files;
        std::int64_t frames;
    };
    const std::vector<Case> cases{{"first", {empty, first, second}, 8820},
                                  {"between", {first, empty, second}, 8820},
                                  {"last", {first, second, empty}, 8820},
                                  {"alone", {empty}, 0},
                                  {"twice alone", {empty, empty}, 0}};
    for (const Case& c : cases) {
        const QString output = path(QStringLiteral("joined %1.wav").arg(c.name));
        run = runProgram(QStringList{"-o", output} + c.files);
        ASSERT_EQ(run.exitCode, kExitJoined) << c.name << ": " << run.err.toStdString();
        const testmedia::WavData joined = testmedia::readWav(output.toStdString());
        if (c.frames == 0) {
            // FFmpeg gives an empty WAV no length, so its header is read here.
            ASSERT_TRUE(joined.ok) << c.name << ": " << joined.message;
            EXPECT_EQ(joined.frames(), 0) << c.name;
            EXPECT_TRUE(endsWithEmptyDataChunk(output)) << c.name;
            continue;
        }
        ASSERT_TRUE(testmedia::isJoinedWav(joined, c.frames)) << c.name;
        // The two tones continue each other: nothing came between them.
        for (std::int64_t n = 0; n < joined.frames(); ++n)
            ASSERT_EQ(joined.at(n, 1), std::lround(testmedia::toneValue(framesOf(0), n) * 32767.0))
                << c.name << " frame " << n;
    }
}

TEST_F(ValidInputProgramTest, ThirtyTwoChannelWavIsMixedToStereo)
{
    const QString many = wav("many", framesOf(22'050, 0, 32));
    const ProgramRun run = runProgram({"-o", path("out.wav"), many});
    ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
    const testmedia::WavData joined = testmedia::readWav(path("out.wav").toStdString());
    ASSERT_TRUE(testmedia::isJoinedWav(joined, 22'050));
    // The same tone in every channel is that tone on both sides.
    for (std::int64_t n = 0; n < joined.frames(); n += 7) {
        const long expected = std::lround(testmedia::toneValue(framesOf(0), n) * 32767.0);
        ASSERT_NEAR(joined.at(n, 0), expected, 2) << "frame " << n;
        ASSERT_NEAR(joined.at(n, 1), expected, 2) << "frame " << n;
    }
}

} // namespace
} // namespace kestrine::testing

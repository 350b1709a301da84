// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/support/mp4_boxes.h"
#include "tests/support/test_media.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

// kestrine-join stopped or killed while it writes an M4A file.
namespace kestrine::testing {
namespace {

constexpr std::int64_t kSourceFrames = 30 * 44100;
constexpr int kSources = 10;

// kestrine-join writing ten 30-second sources into out.m4a.
class M4aJoinProgram : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        testmedia::ToneSpec tone;
        tone.frames = kSourceFrames;
        const testmedia::Generated source =
            testmedia::writeTone(dir.path().toStdString(), "tone", testmedia::MediaFormat::Flac, tone);
        ASSERT_TRUE(source) << source.message;
        QStringList arguments{"-o", dir.filePath("out.m4a")};
        for (int i = 0; i < kSources; ++i)
            arguments.append(QString::fromStdString(source.path));
        join.start(QStringLiteral(KESTRINE_JOIN_PATH), arguments);
        ASSERT_TRUE(join.waitForStarted());
    }

    // Waits until the partial file holds `bytes`, while the join runs.
    void waitForPartial(qint64 bytes)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (QFileInfo(partial()).size() < bytes && join.state() == QProcess::Running &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_EQ(join.state(), QProcess::Running) << "the join ended before it was stopped";
    }

    // Whatever the partial file is named, it is the one file beside the
    // source besides the output.
    QString partial() const
    {
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
            if (name != "tone.flac" && name != "out.m4a")
                return dir.filePath(name);
        return {};
    }

    static QByteArray run(const QString& program, const QStringList& arguments, int* exitCode,
                          QByteArray* err = nullptr)
    {
        QProcess process;
        process.start(program, arguments);
        if (!process.waitForFinished(120'000))
            process.kill();
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        if (err)
            *err = process.readAllStandardError();
        return process.readAllStandardOutput();
    }

    QTemporaryDir dir;
    QProcess join;
};

// A killed M4A join leaves sound but no index: no player or tagger takes its
// partial file for a finished one, and the output is not there at all.
TEST_F(M4aJoinProgram, AKilledJoinLeavesAPartialFileThatNoReaderOpens)
{
    ASSERT_NO_FATAL_FAILURE(waitForPartial(400'000));
    join.kill();
    ASSERT_TRUE(join.waitForFinished(10'000));
    const std::string path = partial().toStdString();
    ASSERT_FALSE(path.empty()) << "no partial file";
    ASSERT_GE(QFileInfo(partial()).size(), 400'000);

    EXPECT_FALSE(QFileInfo::exists(dir.filePath("out.m4a")));
    const std::vector<testmedia::Box> boxes = testmedia::topLevelBoxes(path);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.front().type, "ftyp");
    for (const testmedia::Box& box : boxes)
        EXPECT_NE(box.type, "moov") << "the partial file has an index at " << box.at;
    int probed = 0;
    const QByteArray shown = run("ffprobe", {"-v", "error", "-show_format", QString::fromStdString(path)}, &probed);
    EXPECT_NE(probed, 0) << "ffprobe reads the killed join:\n" << shown.toStdString();
}

// Ctrl-C ends the join with a finished file of what was written: ffprobe
// gives its length and a chapter for each source reached, the last one
// ending with the sound, and ffmpeg decodes it without a word.
TEST_F(M4aJoinProgram, AStoppedJoinIsAFinishedFileOfWhatItReached)
{
    // Some 70 seconds: into the third source.
    ASSERT_NO_FATAL_FAILURE(waitForPartial(1'700'000));
    ::kill(static_cast<pid_t>(join.processId()), SIGINT);
    ASSERT_TRUE(join.waitForFinished(60'000));
    EXPECT_EQ(join.exitCode(), 130);
    const QString output = dir.filePath("out.m4a");
    ASSERT_TRUE(QFileInfo::exists(output));

    int probed = -1;
    const QByteArray json = run("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_streams",
                                            "-show_chapters", "-of", "json", output}, &probed);
    ASSERT_EQ(probed, 0);
    const QJsonObject root = QJsonDocument::fromJson(json).object();
    const QJsonObject sound = root["streams"].toArray().at(0).toObject();
    ASSERT_EQ(sound["time_base"].toString(), "1/44100");
    const std::int64_t frames = sound["duration_ts"].toInteger();
    EXPECT_GT(frames, 0);
    EXPECT_LT(frames, kSources * kSourceFrames);
    const QJsonArray chapters = root["chapters"].toArray();
    ASSERT_EQ(chapters.size(), (frames + kSourceFrames - 1) / kSourceFrames);
    for (qsizetype i = 0; i < chapters.size(); ++i) {
        const QJsonObject chapter = chapters.at(i).toObject();
        SCOPED_TRACE("chapter " + std::to_string(i));
        EXPECT_EQ(chapter["time_base"].toString(), "1/44100");
        EXPECT_EQ(chapter["start"].toInteger(), i * kSourceFrames);
        EXPECT_EQ(chapter["end"].toInteger(), std::min<std::int64_t>((i + 1) * kSourceFrames, frames));
        EXPECT_EQ(chapter["tags"]["title"].toString(), "tone");
    }
    int decoded = -1;
    QByteArray warnings;
    run("ffmpeg", {"-nostdin", "-v", "warning", "-i", output, "-f", "null", "-"}, &decoded, &warnings);
    EXPECT_EQ(decoded, 0);
    EXPECT_EQ(warnings.toStdString(), "");
}

} // namespace
} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/support/mp4_boxes.h"
#include "tests/support/test_media.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

// kestrine-join killed while it writes an M4A file.
namespace kestrine::testing {
namespace {

// A killed M4A join leaves sound but no index: no player or tagger takes its
// partial file for a finished one, and the output is not there at all.
TEST(KilledM4aJoin, LeavesAPartialFileThatNoReaderOpens)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString();
    testmedia::ToneSpec tone;
    tone.seconds = 30;
    const testmedia::Generated source = testmedia::writeTone(folder, "tone", testmedia::MediaFormat::Flac, tone);
    ASSERT_TRUE(source) << source.message;
    QStringList arguments{"-o", dir.filePath("out.m4a")};
    for (int i = 0; i < 10; ++i)
        arguments.append(QString::fromStdString(source.path));

    QProcess join;
    join.start(QStringLiteral(KESTRINE_JOIN_PATH), arguments);
    ASSERT_TRUE(join.waitForStarted());
    // Whatever the partial file is named, it is the one file beside the
    // source besides the output.
    const auto partial = [&dir]() -> QString {
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files | QDir::Hidden))
            if (name != "tone.flac" && name != "out.m4a")
                return dir.filePath(name);
        return {};
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (QFileInfo(partial()).size() < 400'000 && join.state() == QProcess::Running &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(join.state(), QProcess::Running) << "the join ended before it was killed";
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
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-show_format", QString::fromStdString(path)});
    ASSERT_TRUE(probe.waitForFinished(60'000));
    EXPECT_NE(probe.exitCode(), 0) << "ffprobe reads the killed join:\n"
                                   << probe.readAllStandardOutput().toStdString();
}

} // namespace
} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/console_join.h"
#include "media/measure_duration.h"
#include "media/render_plan.h"
#include "tests/cli/program_run.h"
#include "tests/support/test_media.h"
#include "tests/support/wav_chunks.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>


// The markers of the built kestrine-join, in its WAV file and in the lists
// beside it.
namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;

class MarkersProgramTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& name) const { return dir.filePath(name); }
    std::string bytesOf(const QString& name) const { return testmedia::readBytes(path(name).toStdString()); }

    // A tone of exactly `frames` frames; empty, with the reason noted, when
    // this machine cannot encode the format.
    QString tone(const std::string& name, MediaFormat format, std::int64_t frames)
    {
        testmedia::ToneSpec spec;
        spec.frames = frames;
        const testmedia::Generated file = testmedia::writeTone(dir.path().toStdString(), name, format, spec);
        if (file.status == testmedia::Status::Unavailable)
            skipReason = file.message;
        EXPECT_NE(file.status, testmedia::Status::Failed) << file.message;
        return QString::fromStdString(file.path);
    }

    QTemporaryDir dir;
    std::string skipReason;
};

std::string seconds(std::int64_t frame)
{
    // Microseconds rounded half up, with integers only.
    const std::int64_t micros = (frame * 2'000'000 + 44'100) / 88'200;
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%06lld", static_cast<long long>(micros / 1'000'000),
                  static_cast<long long>(micros % 1'000'000));
    return text;
}

std::string cueIndex(std::int64_t frame)
{
    const std::int64_t sectors = (frame * 150 + 44'100) / 88'200;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(sectors / 75 / 60),
                  static_cast<long long>(sectors / 75 % 60), static_cast<long long>(sectors % 75));
    return text;
}

// A wav, an mp3, an ogg and an m4a of lengths that are no round numbers: the
// WAV marks each at the frame the join places it on, where its measured
// length puts it, and the lists say the same.
TEST_F(MarkersProgramTest, EveryFileIsMarkedWhereTheJoinPutsIt)
{
    struct Piece {
        std::string name;
        MediaFormat format;
        std::int64_t frames;
    };
    const std::vector<Piece> pieces{{"intro", MediaFormat::WavS16, 22'051},
                                    {"say \"hi\"", MediaFormat::Mp3, 57'331},
                                    {"caf\xC3\xA9", MediaFormat::Ogg, 33'957},
                                    {"outro", MediaFormat::M4a, 30'001}};
    QStringList files;
    std::vector<std::int64_t> starts;
    std::vector<std::string> names;
    MediaTime at = 0;
    for (const Piece& piece : pieces) {
        const QString file = tone(piece.name, piece.format, piece.frames);
        if (!skipReason.empty())
            GTEST_SKIP() << skipReason;
        MediaTime length = 0;
        ASSERT_EQ(measureDuration(file.toStdString(), length), result::kOk);
        starts.push_back(frameAt(at, 44'100));
        at += length;
        files.append(file);
        names.push_back(piece.name);
    }
    const std::int64_t total = frameAt(at, 44'100);
    ASSERT_NE(starts[2] % 100, 0) << "the starts should not be round numbers";

    ProgramRun run = runProgram(QStringList{"-o", path("joined.wav"), "--cue", path("joined.cue"), "--labels",
                                            path("joined.txt")} +
                                files);
    ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();

    const testmedia::WavChunks chunks = testmedia::readWavChunks(path("joined.wav").toStdString());
    ASSERT_TRUE(chunks.ok) << chunks.message;
    ASSERT_EQ(chunks.cues.size(), starts.size());
    std::string cueSheet = "FILE \"joined.wav\" WAVE\n";
    std::string labels;
    for (std::size_t i = 0; i < starts.size(); ++i) {
        EXPECT_EQ(chunks.cues[i].sampleOffset, starts[i]) << names[i];
        EXPECT_EQ(chunks.labels.at(static_cast<std::uint32_t>(i + 1)), names[i]);
        char track[32];
        std::snprintf(track, sizeof track, "  TRACK %02d AUDIO\n", static_cast<int>(i + 1));
        std::string title = names[i];
        std::replace(title.begin(), title.end(), '"', '\'');
        cueSheet += track + ("    TITLE \"" + title + "\"\n    INDEX 01 " + cueIndex(starts[i]) + "\n");
        labels += seconds(starts[i]) + "\t" + seconds(i + 1 < starts.size() ? starts[i + 1] : total) + "\t" +
                  names[i] + "\n";
    }
    EXPECT_EQ(bytesOf("joined.cue"), cueSheet);
    EXPECT_EQ(bytesOf("joined.txt"), labels);
    const testmedia::DecodedCount decoded = testmedia::countDecodedFrames(path("joined.wav").toStdString());
    ASSERT_TRUE(decoded.ok) << decoded.message;
    EXPECT_EQ(decoded.frames, total);

    // Without markers: no marker chunk at all, and the very same sound.
    run = runProgram(QStringList{"--no-markers", "-o", path("plain.wav")} + files);
    ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
    const testmedia::WavChunks plain = testmedia::readWavChunks(path("plain.wav").toStdString());
    ASSERT_TRUE(plain.ok) << plain.message;
    EXPECT_EQ(plain.ids(), (std::vector<std::string>{"JUNK", "fmt ", "data"}));
    EXPECT_EQ(plain.fileSize, 80 + static_cast<std::uint64_t>(total) * 4);
    EXPECT_TRUE(testmedia::dataChunkOf(path("plain.wav").toStdString()) ==
                testmedia::dataChunkOf(path("joined.wav").toStdString()));
}

// The lists describe a whole join: after Ctrl-C there are none, while the
// WAV keeps the markers of the files it reached.
TEST_F(MarkersProgramTest, AnInterruptedJoinWritesNoLists)
{
    QStringList arguments{"-o", path("long.wav"), "--cue", path("long.cue"), "--labels", path("long.txt")};
    for (int i = 0; i < 4; ++i) {
        const QString file = tone("long" + std::to_string(i), MediaFormat::Flac, 44'100 * 120);
        if (!skipReason.empty())
            GTEST_SKIP() << skipReason;
        arguments.append(file);
    }
    const ProgramRun run = interruptProgram(arguments, path("long.wav.part").toStdString());
    if (run.exitCode == kExitJoined)
        GTEST_SKIP() << "the join was over before the interrupt";
    ASSERT_EQ(run.exitCode, kExitInterrupted) << run.err.toStdString();

    EXPECT_FALSE(QFile::exists(path("long.cue")));
    EXPECT_FALSE(QFile::exists(path("long.txt")));
    EXPECT_FALSE(QFile::exists(path("long.cue.part")));
    const testmedia::WavChunks chunks = testmedia::readWavChunks(path("long.wav").toStdString());
    ASSERT_TRUE(chunks.ok) << chunks.message;
    const std::uint64_t frames = chunks.find("data")->size / 4;
    ASSERT_LT(frames, 4u * 44'100 * 120);
    EXPECT_EQ(chunks.cues.size(), frames / (44'100 * 120) + (frames % (44'100 * 120) ? 1 : 0));
    for (std::size_t i = 0; i < chunks.cues.size(); ++i)
        EXPECT_EQ(chunks.cues[i].sampleOffset, i * 44'100 * 120);
}

} // namespace
} // namespace kestrine::testing

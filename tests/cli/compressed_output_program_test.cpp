// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/console_join.h"
#include "media/ffmpeg.h"
#include "media/measure_duration.h"
#include "media/render_plan.h"
#include "tests/cli/program_run.h"
#include "tests/support/encoded_media.h"
#include "tests/support/probe.h"
#include "tests/support/test_media.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// kestrine-join writing FLAC, MP3, M4A and Opus, chosen by the output's name.
namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;

class CompressedOutputProgram : public ::testing::TestWithParam<const char*> {};

TEST_P(CompressedOutputProgram, WritesTheJoinsExactLengthWithAMarkerAtEveryFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString();
    const std::string output = folder + "/joined." + GetParam();
    const OutputFormat format = outputFormatFor(output);
    ASSERT_NE(format.encoding, Encoding::Wav);

    struct Piece {
        const char* name;
        MediaFormat format;
        double seconds;
    };
    const Piece pieces[] = {{"one", MediaFormat::WavS16, 0.8},
                            {"two", MediaFormat::Mp3, 1.3},
                            {"three", MediaFormat::Ogg, 0.6},
                            {"four", MediaFormat::M4a, 0.9}};
    QStringList arguments{"-o", QString::fromStdString(output)};
    std::vector<std::int64_t> starts;
    std::vector<std::string> names;
    MediaTime total = 0;
    for (const Piece& piece : pieces) {
        testmedia::ToneSpec tone;
        tone.seconds = piece.seconds;
        const testmedia::Generated file =
            testmedia::writeTone(folder, piece.name, piece.format, tone);
        if (file.status == testmedia::Status::Unavailable)
            GTEST_SKIP() << file.message;
        ASSERT_TRUE(file) << file.message;
        MediaTime length = 0;
        ASSERT_EQ(measureDuration(file.path, length), result::kOk);
        starts.push_back(frameAt(total, format.sampleRate));
        names.push_back(piece.name);
        total += length;
        arguments.append(QString::fromStdString(file.path));
    }

    const ProgramRun run = runProgram(arguments);
    ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
    EXPECT_EQ(run.err, QString());
    EXPECT_EQ(testmedia::codecOf(output), format.encoding == Encoding::M4a || format.encoding == Encoding::M4b ? "aac" : GetParam());
    EXPECT_EQ(testmedia::playedFrames(output, format.encoding), frameAt(total, format.sampleRate));
    if (format.encoding == Encoding::Flac) {
        EXPECT_EQ(testmedia::flacTestFailure(output), "");
    }
    // Audiobook players know an audiobook by its brand alone.
    const QJsonObject probed = testmedia::probeFile(output);
    ASSERT_FALSE(probed.isEmpty()) << "ffprobe cannot read " << output;
    const QString brand = probed["format"]["tags"]["major_brand"].toString();
    if (format.encoding == Encoding::M4b) {
        EXPECT_EQ(brand, QStringLiteral("M4B ")) << "an audiobook";
    } else if (format.encoding == Encoding::M4a) {
        EXPECT_EQ(brand, QStringLiteral("M4A "));
    }
    const std::vector<testmedia::Chapter> chapters = testmedia::chaptersOf(output);
    ASSERT_EQ(chapters.size(), starts.size());
    for (std::size_t i = 0; i < starts.size(); ++i) {
        EXPECT_EQ(chapters[i].ms,
                  av_rescale_rnd(starts[i], 1000, format.sampleRate, AV_ROUND_NEAR_INF));
        EXPECT_EQ(chapters[i].title, names[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, CompressedOutputProgram,
                         ::testing::Values("flac", "mp3", "m4a", "m4b", "opus"));

} // namespace
} // namespace kestrine::testing

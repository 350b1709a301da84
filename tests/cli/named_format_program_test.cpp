// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/exit_codes.h"
#include "media/measure_duration.h"
#include "media/render_plan.h"
#include "tests/cli/program_run.h"
#include "tests/support/run_tool.h"
#include "tests/support/test_media.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

// kestrine-join writes the format the output's name says, as other programs
// read it: .ogg as Opus in Ogg, .aif and .aiff as AIFF; the names of media
// formats it cannot write are refused before anything is written.
namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;

// ffmpeg's decoding of the left channel at the file's own rate, which must
// pass without a word.
struct Decoded {
    std::string warnings;
    std::vector<std::int16_t> left;
};

Decoded decodeLeft(const std::string& path)
{
    const Tool tool = runTool("ffmpeg", {"-nostdin", "-v", "warning", "-i", QString::fromStdString(path),
                                         "-f", "s16le", "-ac", "2", "-"});
    Decoded decoded;
    // A PCM file without a channel mask (WAV, AIFF) makes FFmpeg say which
    // layout it guessed: a notice, not a fault.
    QString said = QString::fromUtf8(tool.err);
    said.remove(QRegularExpression(QStringLiteral("^Guessed Channel Layout[^\n]*\n?"),
                                   QRegularExpression::MultilineOption));
    decoded.warnings = tool.exitCode == 0 ? said.toStdString() : "ffmpeg failed: " + tool.err.toStdString();
    std::vector<std::int16_t> stereo(static_cast<std::size_t>(tool.out.size()) / sizeof(std::int16_t));
    std::memcpy(stereo.data(), tool.out.constData(), stereo.size() * sizeof(std::int16_t));
    for (std::size_t i = 0; i + 1 < stereo.size(); i += 2)
        decoded.left.push_back(stereo[i]);
    return decoded;
}

// Zero crossings per second over [first, end).
double frequencyOf(const std::vector<std::int16_t>& left, std::int64_t first, std::int64_t end, int rate)
{
    int crossings = 0;
    for (std::int64_t n = first + 1; n < end; ++n)
        if ((left[static_cast<std::size_t>(n - 1)] < 0) != (left[static_cast<std::size_t>(n)] < 0))
            ++crossings;
    return crossings / 2.0 * rate / static_cast<double>(end - first);
}

struct NamedFormat {
    const char* name;
    const char* extension;
    const char* codec;  // as ffprobe names it
    const char* format; // ffprobe's format_name
    int rate;
    bool chapters; // whether ffprobe shows the markers as chapters
};

const NamedFormat kNamedFormats[] = {
    {"ogg", "ogg", "opus", "ogg", 48000, true},
    {"OggInCapitals", "OGG", "opus", "ogg", 48000, true},
    {"aif", "aif", "pcm_s16be", "aiff", 44100, false},
    {"aiff", "aiff", "pcm_s16be", "aiff", 44100, false},
};

void PrintTo(const NamedFormat& named, std::ostream* out)
{
    *out << named.name;
}

class NamedFormatProgram : public ::testing::TestWithParam<NamedFormat> {};

TEST_P(NamedFormatProgram, WritesTheFormatItsNameSaysAsOtherProgramsRead)
{
    const NamedFormat& named = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString();
    const std::string output = folder + "/joined." + named.extension;

    struct Piece {
        const char* name;
        MediaFormat format;
        double seconds;
        double frequency;
    };
    const Piece pieces[] = {{"low", MediaFormat::WavS16, 0.7, 440.0}, {"high", MediaFormat::Flac, 0.55, 1000.0}};
    QStringList arguments{"-o", QString::fromStdString(output)};
    std::vector<std::int64_t> starts;
    MediaTime total = 0;
    for (const Piece& piece : pieces) {
        testmedia::ToneSpec tone;
        tone.seconds = piece.seconds;
        tone.frequency = piece.frequency;
        const testmedia::Generated file = testmedia::writeTone(folder, piece.name, piece.format, tone);
        ASSERT_TRUE(file) << file.message;
        MediaTime length = 0;
        ASSERT_EQ(measureDuration(file.path, length), result::kOk);
        starts.push_back(frameAt(total, named.rate));
        total += length;
        arguments.append(QString::fromStdString(file.path));
    }
    const std::int64_t frames = frameAt(total, named.rate);
    starts.push_back(frames);

    const ProgramRun run = runProgram(arguments);
    ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();

    const Tool probed = runTool("ffprobe", {"-v", "error", "-show_format", "-show_streams", "-show_chapters",
                                            "-of", "json", QString::fromStdString(output)});
    ASSERT_EQ(probed.exitCode, 0) << probed.err.toStdString();
    const QJsonObject root = QJsonDocument::fromJson(probed.out).object();
    EXPECT_EQ(root["format"]["format_name"].toString().toStdString(), named.format);
    const QJsonArray streams = root["streams"].toArray();
    ASSERT_EQ(streams.size(), 1);
    EXPECT_EQ(streams[0]["codec_name"].toString().toStdString(), named.codec);
    EXPECT_EQ(streams[0]["sample_rate"].toString().toInt(), named.rate);
    EXPECT_EQ(streams[0]["channels"].toInt(), 2);
    if (named.chapters) {
        const QJsonArray chapters = root["chapters"].toArray();
        ASSERT_EQ(chapters.size(), 2);
        for (qsizetype i = 0; i < chapters.size(); ++i)
            EXPECT_EQ(chapters[i]["tags"]["title"].toString(), QString::fromLatin1(pieces[i].name));
    }

    const Decoded decoded = decodeLeft(output);
    EXPECT_EQ(decoded.warnings, "");
    ASSERT_EQ(static_cast<std::int64_t>(decoded.left.size()), frames);
    // Each tone away from its edges, where a lossy codec may blur the join.
    for (std::size_t i = 0; i < 2; ++i) {
        const std::int64_t margin = named.rate / 20;
        EXPECT_NEAR(frequencyOf(decoded.left, starts[i] + margin, starts[i + 1] - margin, named.rate),
                    pieces[i].frequency, pieces[i].frequency * 0.01)
            << pieces[i].name;
    }

    if (std::string(named.codec) == "opus") {
        const Tool opusinfo = runTool("opusinfo", {QString::fromStdString(output)});
        ASSERT_NE(opusinfo.exitCode, -1) << "opusinfo cannot be run: install the Debian package opus-tools";
        EXPECT_EQ(opusinfo.exitCode, 0);
        const QString said = QString::fromUtf8(opusinfo.out + opusinfo.err);
        EXPECT_FALSE(said.contains("WARNING") || said.contains("ERROR")) << said.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, NamedFormatProgram, ::testing::ValuesIn(kNamedFormats),
                         [](const ::testing::TestParamInfo<NamedFormat>& tested) { return tested.param.name; });

// Each name is refused at once with the formats Kestrine writes, and nothing
// is created: no output, no partial file, no cue sheet.
TEST(UnwritableOutputProgram, IsRefusedBeforeAnythingIsWritten)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString();
    testmedia::ToneSpec tone;
    tone.seconds = 0.2;
    const testmedia::Generated file = testmedia::writeTone(folder, "one", MediaFormat::WavS16, tone);
    ASSERT_TRUE(file) << file.message;
    for (const char* name : {"joined.aac", "joined.WMA", "joined.mp4", "joined.Mkv"}) {
        const QString output = QString::fromStdString(folder + "/" + name);
        const QString cue = QString::fromStdString(folder + "/joined.cue");
        const ProgramRun run = runProgram({"-o", output, "--cue", cue, QString::fromStdString(file.path)});
        EXPECT_EQ(run.exitCode, kExitUsage) << name;
        const QString extension = QFileInfo(output).suffix().toLower();
        EXPECT_TRUE(run.err.contains(QStringLiteral("Kestrine cannot write .%1 files: it writes WAV (.wav), "
                                                    "FLAC (.flac), MP3 (.mp3), M4A (.m4a), M4B (.m4b), Opus (.opus, .ogg) "
                                                    "and AIFF (.aif, .aiff).")
                                         .arg(extension)))
            << run.err.toStdString();
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList{"one.wav"})
            << name;
    }
}

} // namespace
} // namespace kestrine::testing

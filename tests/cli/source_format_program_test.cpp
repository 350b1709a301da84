// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/console_join.h"
#include "media/measure_duration.h"
#include "media/render_plan.h"
#include "tests/cli/program_run.h"
#include "tests/support/encoded_media.h"
#include "tests/support/test_media.h"
#include "tests/support/wav_chunks.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <numeric>

// The built kestrine-join writing in the format its sources have, as
// ffprobe and ffmpeg see the files.
namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;

struct Piece {
    MediaFormat format;
    int rate;
    int channels;
    std::int64_t frames;
};

struct Written {
    int rate;
    int channels;
    int bits; // 0: a lossy file, whose decoder chooses
};

struct SourceSet {
    const char* name;
    std::vector<Piece> pieces;
    // What each output is written as: WAV, FLAC, MP3, M4A, Opus.
    Written wav, flac, mp3, m4a, opus;
};

void PrintTo(const SourceSet& set, std::ostream* out)
{
    *out << set.name;
}

QByteArray runTool(const QString& program, const QStringList& arguments, QString* err = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120'000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        if (err)
            *err = QString::fromUtf8(process.readAllStandardError());
        process.kill();
        return {};
    }
    return process.readAllStandardOutput();
}

struct Probed {
    std::string codec;
    int rate = 0;
    int channels = 0;
    int bits = 0; // bits_per_raw_sample, or a WAV's bits_per_sample
    std::int64_t durationTs = -1;
    std::int64_t bitRate = 0;
};

// What ffprobe says of the file's sound.
Probed probe(const std::string& path)
{
    QString err;
    const QByteArray out = runTool("ffprobe", {"-v", "error", "-show_streams", "-of", "json",
                                               QString::fromStdString(path)}, &err);
    QJsonObject stream;
    for (const QJsonValue& each : QJsonDocument::fromJson(out).object()["streams"].toArray())
        if (stream.isEmpty() && each["codec_type"].toString() == "audio")
            stream = each.toObject();
    EXPECT_FALSE(stream.isEmpty()) << "no sound in " << path << ": " << err.toStdString();
    Probed probed;
    probed.codec = stream["codec_name"].toString().toStdString();
    probed.rate = stream["sample_rate"].toString().toInt();
    probed.channels = stream["channels"].toInt();
    probed.bits = stream["bits_per_raw_sample"].toString().toInt();
    if (probed.bits == 0)
        probed.bits = stream["bits_per_sample"].toInt();
    probed.durationTs = stream["duration_ts"].toInteger(-1);
    probed.bitRate = stream["bit_rate"].toString().toLongLong();
    return probed;
}

class SourceFormatProgram : public ::testing::TestWithParam<SourceSet> {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    // The pieces as files, and the frames each holds at its own rate; the
    // reason in skipReason when this machine cannot make one.
    QStringList makePieces(const std::vector<Piece>& pieces)
    {
        QStringList files;
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            const Piece& piece = pieces[i];
            testmedia::ToneSpec tone;
            tone.sampleRate = piece.rate;
            tone.channels = piece.channels;
            tone.frames = piece.frames;
            tone.frequency = 440.0 * static_cast<double>(i + 1);
            const testmedia::Generated file = testmedia::writeTone(dir.path().toStdString(), "piece" + std::to_string(i),
                                                                   piece.format, tone);
            if (file.status == testmedia::Status::Unavailable) {
                skipReason = file.message;
                return {};
            }
            EXPECT_TRUE(file) << file.message;
            files.append(QString::fromStdString(file.path));
            MediaTime length = 0;
            EXPECT_EQ(measureDuration(file.path, length), result::kOk);
            ownFrames.push_back(frameAt(length, piece.rate));
        }
        return files;
    }

    // The join's exact length at `rate`: each file's own frames converted,
    // rounded once at the end.
    std::int64_t joinedFrames(const std::vector<Piece>& pieces, int rate) const
    {
        // Over the least common multiple of the rates, so that nothing is rounded on the way.
        std::int64_t common = 1;
        for (const Piece& piece : pieces)
            common = std::lcm(common, std::int64_t{piece.rate});
        __extension__ using Wide = __int128;
        Wide exact = 0;
        for (std::size_t i = 0; i < pieces.size(); ++i)
            exact += Wide{ownFrames[i]} * rate * (common / pieces[i].rate);
        return static_cast<std::int64_t>((exact + common / 2) / common);
    }

    QTemporaryDir dir;
    std::string skipReason;
    std::vector<std::int64_t> ownFrames;
};

TEST_P(SourceFormatProgram, EveryOutputHasTheSourcesRateChannelsBitsAndExactLength)
{
    const SourceSet& set = GetParam();
    const QStringList files = makePieces(set.pieces);
    if (!skipReason.empty())
        GTEST_SKIP() << skipReason;
    struct Output {
        const char* extension;
        Written written;
    };
    // AIFF holds what WAV holds, big-endian.
    for (const Output& output : {Output{"wav", set.wav}, Output{"aiff", set.wav}, Output{"flac", set.flac},
                                 Output{"mp3", set.mp3}, Output{"m4a", set.m4a}, Output{"opus", set.opus}}) {
        SCOPED_TRACE(output.extension);
        const std::string path = dir.filePath(QStringLiteral("joined.") + output.extension).toStdString();
        const ProgramRun run = runProgram(QStringList{"-o", QString::fromStdString(path)} + files);
        ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
        const Probed probed = probe(path);
        EXPECT_EQ(probed.rate, output.written.rate);
        EXPECT_EQ(probed.channels, output.written.channels);
        const std::int64_t expected = joinedFrames(set.pieces, output.written.rate);
        const Encoding encoding = outputFormatFor(path).encoding;
        if (output.written.bits > 0) {
            EXPECT_EQ(probed.bits, output.written.bits);
            EXPECT_EQ(probed.durationTs, expected);
            if (encoding == Encoding::Wav)
                EXPECT_EQ(probed.codec, output.written.bits == 24 ? "pcm_s24le" : "pcm_s16le");
            else if (encoding == Encoding::Aiff)
                EXPECT_EQ(probed.codec, output.written.bits == 24 ? "pcm_s24be" : "pcm_s16be");
            else
                EXPECT_EQ(testmedia::flacTestFailure(path), "");
        }
        EXPECT_EQ(testmedia::playedFrames(path, encoding), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sets, SourceFormatProgram,
    ::testing::Values(
        SourceSet{"Mono48kLossy",
                  {{MediaFormat::Mp3, 48000, 1, 50'000}, {MediaFormat::M4a, 48000, 1, 61'111}},
                  {48000, 1, 16}, {48000, 1, 16}, {48000, 1, 0}, {48000, 1, 0}, {48000, 1, 0}},
        SourceSet{"Stereo96k24Bit",
                  {{MediaFormat::WavS24, 96000, 2, 70'001}, {MediaFormat::WavS24, 96000, 2, 50'000}},
                  {96000, 2, 24}, {96000, 2, 24}, {48000, 2, 0}, {96000, 2, 0}, {48000, 2, 0}},
        SourceSet{"MixedRatesTakeTheLongest",
                  {{MediaFormat::WavS16, 44100, 2, 22'050}, {MediaFormat::Flac, 22050, 1, 26'461},
                   {MediaFormat::Ogg, 48000, 2, 19'200}},
                  {22050, 2, 16}, {22050, 2, 16}, {32000, 2, 0}, {22050, 2, 0}, {48000, 2, 0}},
        SourceSet{"FloatMonoMakes24Bit",
                  {{MediaFormat::WavFloat, 44100, 1, 26'460}, {MediaFormat::WavS16, 44100, 1, 13'231}},
                  {44100, 1, 24}, {44100, 1, 24}, {44100, 1, 0}, {44100, 1, 0}, {48000, 1, 0}}),
    [](const auto& tested) { return std::string(tested.param.name); });

// The decoded samples of `path` as 32-bit integers, from ffmpeg itself.
QByteArray decodedSamples(const std::string& path)
{
    QString err;
    const QByteArray samples =
        runTool("ffmpeg", {"-v", "error", "-i", QString::fromStdString(path), "-f", "s32le", "-"}, &err);
    EXPECT_FALSE(samples.isEmpty()) << err.toStdString();
    return samples;
}

struct SameFormat {
    const char* name;
    std::vector<Piece> pieces;
    const char* extension;
};

class SameFormatProgram : public SourceFormatProgram {};

// Sources already at the output's rate and channels are not resampled: the
// join is their decoded samples, one after another, sample for sample.
TEST_F(SameFormatProgram, JoinIsTheDecodedSourcesSampleForSample)
{
    const SameFormat sets[] = {
        {"24-bit 96 kHz WAV to WAV", {{MediaFormat::WavS24, 96000, 2, 70'001}, {MediaFormat::WavS24, 96000, 2, 50'000}}, "wav"},
        {"24-bit 96 kHz WAV to FLAC", {{MediaFormat::WavS24, 96000, 2, 70'001}, {MediaFormat::WavS24, 96000, 2, 50'000}}, "flac"},
        {"24-bit 96 kHz WAV to AIFF", {{MediaFormat::WavS24, 96000, 2, 70'001}, {MediaFormat::WavS24, 96000, 2, 50'000}}, "aiff"},
        {"24-bit mono WAV to AIFF of an odd length", {{MediaFormat::WavS24, 44100, 1, 30'011}, {MediaFormat::WavS24, 44100, 1, 10'000}}, "aif"},
        {"16-bit mono WAV and FLAC to WAV", {{MediaFormat::WavS16, 32000, 1, 30'011}, {MediaFormat::Flac, 32000, 1, 20'000}}, "wav"},
        {"48 kHz stereo FLAC and WAV to FLAC", {{MediaFormat::Flac, 48000, 2, 30'011}, {MediaFormat::WavS16, 48000, 2, 9'999}}, "flac"},
    };
    for (const SameFormat& set : sets) {
        SCOPED_TRACE(set.name);
        ownFrames.clear();
        const QStringList files = makePieces(set.pieces);
        if (!skipReason.empty())
            GTEST_SKIP() << skipReason;
        const std::string output = dir.filePath(QStringLiteral("same.") + set.extension).toStdString();
        const ProgramRun run = runProgram(QStringList{"-y", "-o", QString::fromStdString(output)} + files);
        ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
        const Probed probed = probe(output);
        EXPECT_EQ(probed.rate, set.pieces[0].rate);
        EXPECT_EQ(probed.channels, set.pieces[0].channels);
        QByteArray sources;
        for (const QString& file : files)
            sources += decodedSamples(file.toStdString());
        const QByteArray joined = decodedSamples(output);
        ASSERT_EQ(joined.size(), sources.size());
        EXPECT_TRUE(joined == sources) << "the join differs from its sources";
    }
}

// At 48,000 Hz every marker is at the frame where its file starts, in the
// WAV's cue points, the cue sheet and the label list alike.
TEST_F(SameFormatProgram, MarkersAreAtTheirExactFramesAt48k)
{
    const std::vector<Piece> pieces{{MediaFormat::WavS16, 48000, 2, 22'051},
                                    {MediaFormat::Mp3, 48000, 2, 57'331},
                                    {MediaFormat::Flac, 48000, 2, 33'957}};
    const QStringList files = makePieces(pieces);
    if (!skipReason.empty())
        GTEST_SKIP() << skipReason;
    const QString output = dir.filePath("joined.wav");
    const ProgramRun run = runProgram(QStringList{"-o", output, "--cue", dir.filePath("joined.cue"), "--labels",
                                                  dir.filePath("joined.txt")} +
                                      files);
    ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
    EXPECT_EQ(probe(output.toStdString()).rate, 48000);

    const testmedia::WavChunks chunks = testmedia::readWavChunks(output.toStdString());
    ASSERT_TRUE(chunks.ok) << chunks.message;
    ASSERT_EQ(chunks.cues.size(), pieces.size());
    std::int64_t start = 0;
    std::string labels;
    std::string cueSheet = "FILE \"joined.wav\" WAVE\n";
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        EXPECT_EQ(chunks.cues[i].sampleOffset, start);
        const std::int64_t end = start + ownFrames[i];
        // Microseconds and 1/75 s, rounded half up, in integers.
        const auto seconds = [](std::int64_t frame) {
            const std::int64_t micros = (frame * 1'000'000 * 2 + 48'000) / 96'000;
            char text[32];
            std::snprintf(text, sizeof text, "%lld.%06lld", static_cast<long long>(micros / 1'000'000),
                          static_cast<long long>(micros % 1'000'000));
            return std::string(text);
        };
        const std::int64_t sectors = (start * 75 * 2 + 48'000) / 96'000;
        // Files without a title tag are named without their extension.
        const std::string name = files[static_cast<qsizetype>(i)].section('/', -1).section('.', 0, 0).toStdString();
        char track[96];
        std::snprintf(track, sizeof track, "  TRACK %02d AUDIO\n    TITLE \"%s\"\n    INDEX 01 %02lld:%02lld:%02lld\n",
                      static_cast<int>(i + 1), name.c_str(),
                      static_cast<long long>(sectors / 75 / 60), static_cast<long long>(sectors / 75 % 60),
                      static_cast<long long>(sectors % 75));
        cueSheet += track;
        labels += seconds(start) + "\t" + seconds(end) + "\t" + name + "\n";
        start = end;
    }
    EXPECT_EQ(testmedia::readBytes(dir.filePath("joined.cue").toStdString()), cueSheet);
    EXPECT_EQ(testmedia::readBytes(dir.filePath("joined.txt").toStdString()), labels);
    EXPECT_EQ(testmedia::countDecodedFrames(output.toStdString()).frames, start);
}

// The options override what the sources would choose, in every output.
TEST_F(SameFormatProgram, OptionsOverrideTheSourcesFormat)
{
    const std::vector<Piece> pieces{{MediaFormat::WavS24, 96000, 2, 70'001}, {MediaFormat::WavS24, 96000, 2, 50'000}};
    const QStringList files = makePieces(pieces);
    if (!skipReason.empty())
        GTEST_SKIP() << skipReason;
    for (const char* extension : {"wav", "flac", "aiff"}) {
        SCOPED_TRACE(extension);
        const std::string output = dir.filePath(QStringLiteral("small.") + extension).toStdString();
        const ProgramRun run = runProgram(QStringList{"--rate", "44100", "--bits", "16", "--channels", "1", "-o",
                                                      QString::fromStdString(output)} +
                                          files);
        ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
        const Probed probed = probe(output);
        EXPECT_EQ(probed.rate, 44100);
        EXPECT_EQ(probed.channels, 1);
        EXPECT_EQ(probed.bits, 16);
        EXPECT_EQ(probed.durationTs, joinedFrames(pieces, 44100));
    }
    const std::string mp3 = dir.filePath("constant.mp3").toStdString();
    ProgramRun run = runProgram(QStringList{"--bitrate", "128", "--rate", "32000", "-o", QString::fromStdString(mp3)} + files);
    ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
    Probed probed = probe(mp3);
    EXPECT_EQ(probed.rate, 32000);
    EXPECT_EQ(probed.bitRate, 128000);
    EXPECT_EQ(testmedia::playedFrames(mp3, Encoding::Mp3), joinedFrames(pieces, 32000));
    const std::string opus = dir.filePath("small.opus").toStdString();
    run = runProgram(QStringList{"--bitrate", "48", "--channels", "1", "-o", QString::fromStdString(opus)} + files);
    ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
    probed = probe(opus);
    EXPECT_EQ(probed.channels, 1);
    // Ogg states no bit rate: the same join at the default 128 kbit/s is the measure.
    const std::string usual = dir.filePath("usual.opus").toStdString();
    run = runProgram(QStringList{"--channels", "1", "-o", QString::fromStdString(usual)} + files);
    ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
    EXPECT_LT(testmedia::readBytes(opus).size() * 2, testmedia::readBytes(usual).size());
}

} // namespace
} // namespace kestrine::testing

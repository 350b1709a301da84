// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/cli/program_run.h"
#include "tests/support/loudness_probe.h"
#include "tests/support/probe.h"
#include "tests/support/run_tool.h"
#include "tests/support/test_media.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>

// kestrine-join --loudness, measured from outside by FFmpeg's ebur128 filter:
// four pink noise files recorded at very different levels, joined.
namespace kestrine::testing {
namespace {

constexpr double kSeconds = 10.0; // each file's length
// The noise source gives about -14.7 LUFS at full level; these volumes make
// files of about -38, -14, -30 and -16 LUFS.
const std::vector<double> kVolumes = {-23.3, 0.7, -15.3, -1.3};
constexpr double kSilence = -200.0;

class LoudnessProgramTest : public ::testing::Test {
protected:
    std::string pathOf(const std::string& name) const { return folder_.path().toStdString() + "/" + name; }
    QString qpathOf(const std::string& name) const { return QString::fromStdString(pathOf(name)); }

    QStringList makeSources(const std::vector<double>& volumes)
    {
        QStringList files;
        sources_.clear();
        for (std::size_t i = 0; i < volumes.size(); ++i) {
            const std::string path = writePinkNoise(folder_.path().toStdString(), "file" + std::to_string(i),
                                                    volumes[i], kSeconds, static_cast<int>(i) + 7);
            EXPECT_FALSE(path.empty());
            sources_.push_back(path);
            files.append(QString::fromStdString(path));
        }
        return files;
    }

    ProgramRun join(const std::string& output, const QStringList& options, const QStringList& files)
    {
        return runProgram(QStringList{"-o", qpathOf(output)} + options + files);
    }

    // The loudness of the output's stretch that source `index` fills.
    MeasuredLoudness partOf(const std::string& output, std::size_t index) const
    {
        return ebur128Of(pathOf(output), static_cast<double>(index) * kSeconds, kSeconds);
    }

    // The decoded sound of a file, 16-bit interleaved, as FFmpeg decodes it.
    static QByteArray decodedSound(const std::string& path)
    {
        const Tool tool = runTool(QStringLiteral("ffmpeg"), {"-v", "error", "-i", QString::fromStdString(path), "-map",
                                                             "0:a", "-f", "s16le", "-"});
        return tool.exitCode == 0 ? tool.out : QByteArray();
    }

    QTemporaryDir folder_;
    std::vector<std::string> sources_;
};

struct TargetCase {
    const char* name;
    QStringList options;
    double target;
};

TEST_F(LoudnessProgramTest, TrackBringsEveryFileToTheTargetUnderTheCeiling)
{
    const QStringList files = makeSources(kVolumes);
    const TargetCase cases[] = {
        {"default target", {"--loudness", "track"}, -16.0},
        {"target -20", {"--loudness", "track", "--target", "-20"}, -20.0},
        {"target=-23 written with =", {"--loudness=track", "--target=-23"}, -23.0},
    };
    for (const TargetCase& targetCase : cases) {
        SCOPED_TRACE(targetCase.name);
        const ProgramRun run = join("track.wav", QStringList{"-y"} + targetCase.options, files);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        for (std::size_t i = 0; i < sources_.size(); ++i) {
            const MeasuredLoudness part = partOf("track.wav", i);
            ASSERT_TRUE(part.ok);
            EXPECT_NEAR(part.integrated, targetCase.target, 0.5) << "file " << i;
        }
        const MeasuredLoudness whole = ebur128Of(pathOf("track.wav"));
        ASSERT_TRUE(whole.ok);
        EXPECT_LE(whole.truePeak, -1.0);
    }
}

TEST_F(LoudnessProgramTest, ACeilingBelowTheTargetsPeaksLowersTheGain)
{
    // At -5 LUFS pink noise would peak near +5 dBTP: the gain stops at the ceiling.
    const QStringList files = makeSources({-23.3, 0.7});
    const ProgramRun run = join("capped.wav", {"--loudness", "track", "--target", "-5", "--true-peak", "-3"}, files);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    for (std::size_t i = 0; i < sources_.size(); ++i) {
        const MeasuredLoudness part = partOf("capped.wav", i);
        ASSERT_TRUE(part.ok);
        // FFmpeg's true peak is its own estimate of the same inter-sample peaks.
        EXPECT_LE(part.truePeak, -3.0 + 0.1) << "file " << i;
        EXPECT_GE(part.truePeak, -3.0 - 0.5) << "file " << i;
        EXPECT_LT(part.integrated, -5.0) << "file " << i;
    }
}

TEST_F(LoudnessProgramTest, AlbumMovesTheWholeJoinAndKeepsTheDifferences)
{
    const QStringList files = makeSources(kVolumes);
    const ProgramRun run = join("album.wav", {"--loudness", "album"}, files);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const MeasuredLoudness whole = ebur128Of(pathOf("album.wav"));
    ASSERT_TRUE(whole.ok);
    EXPECT_NEAR(whole.integrated, -16.0, 0.5);
    EXPECT_LE(whole.truePeak, -1.0);
    const MeasuredLoudness firstBefore = ebur128Of(sources_[0]);
    const MeasuredLoudness firstAfter = partOf("album.wav", 0);
    for (std::size_t i = 1; i < sources_.size(); ++i) {
        const double before = ebur128Of(sources_[i]).integrated - firstBefore.integrated;
        const double after = partOf("album.wav", i).integrated - firstAfter.integrated;
        EXPECT_NEAR(after, before, 0.5) << "file " << i;
    }
}

TEST_F(LoudnessProgramTest, WithoutLoudnessEverySampleIsTheFilesOwn)
{
    const QStringList files = makeSources(kVolumes);
    const ProgramRun run = join("plain.wav", {}, files);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QByteArray joined;
    for (std::size_t i = 0; i < sources_.size(); ++i) {
        joined += decodedSound(sources_[i]);
        EXPECT_NEAR(partOf("plain.wav", i).integrated, ebur128Of(sources_[i]).integrated, 0.2) << "file " << i;
    }
    ASSERT_FALSE(joined.isEmpty());
    EXPECT_TRUE(decodedSound(pathOf("plain.wav")) == joined);
}

TEST_F(LoudnessProgramTest, SilenceGetsNoGainAndLeavesTheAlbumValueWhole)
{
    const QStringList files = makeSources({0.7, kSilence, -15.3});
    for (const char* mode : {"track", "album"}) {
        SCOPED_TRACE(mode);
        const ProgramRun run = join("silence.wav", {"-y", "--loudness", mode}, files);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        const MeasuredLoudness silent = partOf("silence.wav", 1);
        ASSERT_TRUE(silent.ok);
        EXPECT_EQ(silent.truePeak, -std::numeric_limits<double>::infinity());
        if (std::string(mode) == "track") {
            EXPECT_NEAR(partOf("silence.wav", 0).integrated, -16.0, 0.5);
            EXPECT_NEAR(partOf("silence.wav", 2).integrated, -16.0, 0.5);
        } else {
            EXPECT_NEAR(ebur128Of(pathOf("silence.wav")).integrated, -16.0, 0.5);
        }
    }
}

struct TagFormat {
    const char* extension;
    const char* gainTag; // what players read the gain from
    double reference;    // the loudness that tag's gain reaches
};

TEST_F(LoudnessProgramTest, TagsTellPlayersTheGainAndChangeNoSample)
{
    const QStringList files = makeSources({0.7, -15.3});
    const TagFormat formats[] = {
        {"flac", "REPLAYGAIN_TRACK_GAIN", -16.0},
        {"mp3", "REPLAYGAIN_TRACK_GAIN", -16.0},
        {"m4a", "replaygain_track_gain", -16.0},
        {"opus", "R128_TRACK_GAIN", -23.0},
    };
    for (const TagFormat& format : formats) {
        SCOPED_TRACE(format.extension);
        const std::string plain = std::string("plain.") + format.extension;
        const std::string tagged = std::string("tagged.") + format.extension;
        ASSERT_EQ(join(plain, {}, files).exitCode, 0);
        const ProgramRun run = join(tagged, {"--loudness", "tags"}, files);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();

        const QByteArray sound = decodedSound(pathOf(plain));
        ASSERT_FALSE(sound.isEmpty());
        EXPECT_TRUE(decodedSound(pathOf(tagged)) == sound);

        const MeasuredLoudness measured = ebur128Of(pathOf(plain));
        ASSERT_TRUE(measured.ok);
        const QJsonObject probed = testmedia::probeFile(pathOf(tagged));
        QString value;
        std::vector<QJsonObject> holders{probed["format"].toObject()["tags"].toObject()};
        for (const QJsonValue& stream : probed["streams"].toArray())
            holders.push_back(stream["tags"].toObject());
        for (const QJsonObject& tags : holders)
            for (auto it = tags.begin(); it != tags.end(); ++it)
                if (it.key().compare(QString::fromLatin1(format.gainTag), Qt::CaseInsensitive) == 0)
                    value = it.value().toString();
        ASSERT_FALSE(value.isEmpty()) << "ffprobe sees no " << format.gainTag;
        const double gain = std::string(format.extension) == "opus" ? value.toDouble() / 256.0
                                                                     : value.section(' ', 0, 0).toDouble();
        EXPECT_NEAR(gain, format.reference - measured.integrated, 0.5) << value.toStdString();
    }
    // And FLAC's own tool reads the four tags.
    const Tool metaflac = runTool(QStringLiteral("metaflac"), {"--export-tags-to=-", qpathOf("tagged.flac")});
    ASSERT_EQ(metaflac.exitCode, 0);
    for (const char* name : {"REPLAYGAIN_TRACK_GAIN=", "REPLAYGAIN_TRACK_PEAK=", "REPLAYGAIN_ALBUM_GAIN=",
                             "REPLAYGAIN_ALBUM_PEAK="})
        EXPECT_TRUE(metaflac.out.contains(name)) << name;
}

struct RefusedCase {
    const char* name;
    QStringList options;
    const char* output;
    const char* names; // what the sentence must name: the values allowed
};

TEST_F(LoudnessProgramTest, RefusedValuesExitTwoNamingTheAllowedAndWriteNothing)
{
    const QStringList files = makeSources({0.7});
    const RefusedCase cases[] = {
        {"unknown mode", {"--loudness", "loud"}, "out.wav", "track"},
        {"no mode", {"--loudness"}, "out.wav", "track"},
        {"target too low", {"--loudness", "track", "--target", "-41"}, "out.wav", "-40 to -5"},
        {"target too high", {"--loudness", "track", "--target", "-4.9"}, "out.wav", "-40 to -5"},
        {"target not a number", {"--loudness", "track", "--target", "loud"}, "out.wav", "-40 to -5"},
        {"ceiling above 0", {"--loudness", "album", "--true-peak", "0.5"}, "out.wav", "-9 to 0"},
        {"ceiling too low", {"--loudness", "album", "--true-peak=-9.5"}, "out.wav", "-9 to 0"},
        {"target without a mode", {"--target", "-20"}, "out.wav", "--loudness track, album or tags"},
        {"tags in a WAV", {"--loudness", "tags"}, "out.wav", "FLAC, MP3, Opus, M4A"},
        {"tags in an AIFF", {"--loudness", "tags"}, "out.aiff", "FLAC, MP3, Opus, M4A"},
        {"tags without tags", {"--loudness", "tags", "--no-tags"}, "out.flac", "--no-tags"},
    };
    for (const RefusedCase& refused : cases) {
        SCOPED_TRACE(refused.name);
        const ProgramRun run = join(refused.output, refused.options, files);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains(QString::fromLatin1(refused.names))) << run.err.toStdString();
        EXPECT_FALSE(QFile::exists(qpathOf(refused.output)));
    }
}

} // namespace
} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/exit_codes.h"
#include "media/ffmpeg.h"
#include "media/measure_duration.h"
#include "media/render_plan.h"
#include "tests/cli/program_run.h"
#include "tests/support/probe.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_media.h"

#include <QFile>
#include <QJsonArray>
#include <QMap>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

// A source that has chapters of its own brings them into the join, in every
// kind that files carry them and every output that holds chapters, as
// readers other than ours (ffprobe) see them.
namespace kestrine::testing {
namespace {

constexpr int kRate = 44'100;

struct Chapter {
    double start; // seconds from the source's start
    QString title;
};

// What a run of a tool printed, and whether it ended well.
bool runTool(const QString& program, const QStringList& arguments, QByteArray* said = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120'000)) {
        process.kill();
        return false;
    }
    if (said)
        *said = process.readAll();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The chapters as FFmpeg's metadata file gives them to a muxer.
QByteArray ffmetadata(const std::vector<Chapter>& chapters, double length)
{
    QByteArray text = ";FFMETADATA1\n";
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        const double end = std::max(i + 1 < chapters.size() ? chapters[i + 1].start : length, chapters[i].start + 0.001);
        text += "[CHAPTER]\nTIMEBASE=1/1000\nSTART=" + QByteArray::number(std::llround(chapters[i].start * 1000)) +
                "\nEND=" + QByteArray::number(std::llround(end * 1000)) + "\ntitle=" + chapters[i].title.toUtf8() +
                "\n";
    }
    return text;
}

void put32(std::string& bytes, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Adds a `cue ` chunk with one point per chapter and a LIST/adtl chunk that
// labels them to the end of a WAV file, as audio editors write markers.
bool addWavCuePoints(const std::string& path, const std::vector<Chapter>& chapters)
{
    std::string bytes = testmedia::readBytes(path);
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0)
        return false;
    if (bytes.size() % 2)
        bytes += '\0';
    std::string cue = "cue ";
    put32(cue, static_cast<std::uint32_t>(4 + 24 * chapters.size()));
    put32(cue, static_cast<std::uint32_t>(chapters.size()));
    std::string labels = "adtl";
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        const auto id = static_cast<std::uint32_t>(i + 1);
        const auto frame = static_cast<std::uint32_t>(std::llround(chapters[i].start * kRate));
        put32(cue, id);
        put32(cue, frame);
        cue += "data";
        put32(cue, 0);
        put32(cue, 0);
        put32(cue, frame);
        std::string text = chapters[i].title.toStdString() + '\0';
        labels += "labl";
        put32(labels, static_cast<std::uint32_t>(4 + text.size()));
        put32(labels, id);
        labels += text;
        if (text.size() % 2)
            labels += '\0';
    }
    std::string list = "LIST";
    put32(list, static_cast<std::uint32_t>(labels.size()));
    bytes += cue + list + labels;
    std::string riffSize;
    put32(riffSize, static_cast<std::uint32_t>(bytes.size() - 8));
    bytes.replace(4, 4, riffSize);
    return testmedia::writeBytes(path, bytes);
}

// One kind of source with chapters of its own, made by other tools than ours.
struct SourceKind {
    const char* name;
    const char* extension;
    // Untitled chapters (a FLAC cue sheet's tracks) take the source's name and their number.
    bool titled;
};

const SourceKind kKinds[] = {
    {"Mp4Chapters", "m4a", true},        {"Id3Chap", "mp3", true},
    {"MatroskaChapters", "mka", true},   {"FlacCueSheet", "flac", false},
    {"FlacChapterComments", "flac", true}, {"OpusChapterComments", "opus", true},
    {"WavCuePoints", "wav", true},
};

// Two chapters in 1.5 s of tone; the second at a 1/75 s, as a cue sheet can say it.
const std::vector<Chapter> kTwoChapters{{0.0, "Uno"}, {0.6, "Dos"}};
constexpr double kChapteredSeconds = 1.5;

class SourceChaptersProgram : public ::testing::TestWithParam<const char*> {
protected:
    // The sources do not depend on the output: they are made once.
    static void SetUpTestSuite() { dir = new QTemporaryDir; }
    static void TearDownTestSuite()
    {
        delete dir;
        dir = nullptr;
        made.clear();
    }
    void SetUp() override { ASSERT_TRUE(dir->isValid()); }

    static QString path(const QString& name) { return dir->filePath(name); }
    QString output() const { return path(QStringLiteral("joined.") + GetParam()); }
    int outputRate() const { return outputFormatFor(output().toStdString()).encoding == Encoding::Opus ? 48'000 : kRate; }

    // A tone of `seconds` at kRate, mono, made by ffmpeg with `arguments`
    // before the output's name; empty when ffmpeg could not.
    QString makeTone(const QString& name, double seconds, const QStringList& arguments)
    {
        QByteArray said;
        const QString tone = path(name);
        const bool ok = runTool("ffmpeg", QStringList{"-v", "error", "-y", "-f", "lavfi", "-i",
                                                      QStringLiteral("sine=f=440:sample_rate=%1:duration=%2")
                                                          .arg(kRate)
                                                          .arg(seconds)} +
                                              arguments + QStringList{"-ac", "1", tone},
                                &said);
        EXPECT_TRUE(ok) << said.toStdString();
        return ok ? tone : QString();
    }

    // A source of `kind` holding `chapters`, named `baseName`; made on the
    // first call for that name.
    QString makeChaptered(const SourceKind& kind, const std::vector<Chapter>& chapters, double seconds,
                          const QString& baseName)
    {
        const QString name = QStringLiteral("%1.%2").arg(baseName, kind.extension);
        if (made.contains(name))
            return made[name];
        made[name] = makeKind(kind, chapters, seconds, name);
        return made[name];
    }

    QString makeKind(const SourceKind& kind, const std::vector<Chapter>& chapters, double seconds, const QString& name)
    {
        const QString kindName = kind.name;
        if (kindName == "FlacCueSheet") {
            const QString tone = makeTone(name, seconds, {});
            QByteArray sheet = "FILE \"x.flac\" WAVE\n";
            for (std::size_t i = 0; i < chapters.size(); ++i) {
                const long long frames75 = std::llround(chapters[i].start * 75);
                sheet += QStringLiteral("  TRACK %1 AUDIO\n    INDEX 01 %2:%3:%4\n")
                             .arg(i + 1, 2, 10, QChar('0'))
                             .arg(frames75 / 75 / 60, 2, 10, QChar('0'))
                             .arg(frames75 / 75 % 60, 2, 10, QChar('0'))
                             .arg(frames75 % 75, 2, 10, QChar('0'))
                             .toUtf8();
            }
            testmedia::writeBytes(path("sheet.cue").toStdString(), sheet.toStdString());
            QByteArray said;
            EXPECT_TRUE(runTool("metaflac", {"--import-cuesheet-from=" + path("sheet.cue"), tone}, &said))
                << said.toStdString();
            return tone;
        }
        if (kindName == "FlacChapterComments" || kindName == "OpusChapterComments") {
            // Written as comments rather than by FFmpeg's chapter writer,
            // which misplaces a chapter that starts within a second.
            const QString metadata = kindName == "OpusChapterComments" ? "-metadata:s:a" : "-metadata";
            QStringList comments;
            for (std::size_t i = 0; i < chapters.size(); ++i) {
                const auto ms = std::llround(chapters[i].start * 1000);
                const QString number = QStringLiteral("%1").arg(i + 1, 3, 10, QChar('0'));
                comments << metadata
                         << QStringLiteral("CHAPTER%1=%2:%3:%4.%5")
                                .arg(number)
                                .arg(ms / 3'600'000, 2, 10, QChar('0'))
                                .arg(ms / 60'000 % 60, 2, 10, QChar('0'))
                                .arg(ms / 1000 % 60, 2, 10, QChar('0'))
                                .arg(ms % 1000, 3, 10, QChar('0'))
                         << metadata << QStringLiteral("CHAPTER%1NAME=%2").arg(number, chapters[i].title);
            }
            return makeTone(name, seconds, comments);
        }
        if (kindName == "WavCuePoints") {
            const QString tone = makeTone(name, seconds, {"-c:a", "pcm_s16le"});
            EXPECT_TRUE(addWavCuePoints(tone.toStdString(), chapters));
            return tone;
        }
        testmedia::writeBytes(path("meta.txt").toStdString(), ffmetadata(chapters, seconds).toStdString());
        QStringList arguments{"-i", path("meta.txt"), "-map", "0", "-map_metadata", "1", "-map_chapters", "1"};
        if (kindName == "MatroskaChapters")
            arguments << "-c:a" << "flac";
        return makeTone(name, seconds, arguments);
    }

    static MediaTime lengthOf(const QString& source)
    {
        MediaTime length = 0;
        EXPECT_EQ(measureDuration(source.toStdString(), length), result::kOk) << source.toStdString();
        return length;
    }

    struct Expected {
        MediaTime at; // on the join's timeline
        QString title;
    };

    // The chapters ffprobe sees in the output are `expected`, each to the millisecond.
    void expectChapters(const std::vector<Expected>& expected, const std::string& what)
    {
        const QJsonObject probed = testmedia::probeFile(output().toStdString());
        ASSERT_FALSE(probed.isEmpty()) << what << ": ffprobe cannot read " << output().toStdString();
        const QJsonArray chapters = probed["chapters"].toArray();
        ASSERT_EQ(static_cast<std::size_t>(chapters.size()), expected.size()) << what;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const QJsonObject chapter = chapters[static_cast<qsizetype>(i)].toObject();
            EXPECT_EQ(chapter["tags"]["title"].toString(), expected[i].title) << what << ", chapter " << i;
            const std::int64_t frame = frameAt(expected[i].at, outputRate());
            const double startMs = static_cast<double>(av_rescale_rnd(frame, 1000, outputRate(), AV_ROUND_NEAR_INF));
            EXPECT_NEAR(chapter["start_time"].toString().toDouble() * 1000.0, startMs, 0.5)
                << what << ", chapter " << i;
        }
    }

    static inline QTemporaryDir* dir = nullptr;
    static inline QMap<QString, QString> made;
};

// An audiobook's first part with three chapters, then a file of one chapter
// named by its title: four chapters, at the sources' own places.
TEST_P(SourceChaptersProgram, ABooksChaptersThenATaggedFileMakeFourChapters)
{
    const QString book = makeChaptered(kKinds[0], {{0.0, "Part A"}, {0.5, "Part B"}, {1.0, "Part C"}},
                                       kChapteredSeconds, "book");
    if (!made.contains("tail.mp3"))
        made["tail.mp3"] = makeTone("tail.mp3", 1.0, {"-metadata", "title=The Tail"});
    const QString tail = made["tail.mp3"];
    ASSERT_FALSE(book.isEmpty() || tail.isEmpty());
    const QString cueSheet = output() + ".cue";
    const QString labelList = output() + ".txt";
    QFile::remove(output());
    const ProgramRun run = runProgram({"-y", "-o", output(), "--cue", cueSheet, "--labels", labelList, book, tail});
    ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
    const MediaTime second = kUnitsPerSecond;
    const MediaTime tailStart = lengthOf(book);
    expectChapters({{0, "Part A"}, {second / 2, "Part B"}, {second, "Part C"}, {tailStart, "The Tail"}}, "joined");

    const std::string labels = testmedia::readBytes(labelList.toStdString());
    EXPECT_NE(labels.find("0.500000\t1.000000\tPart B\n"), std::string::npos) << labels;
    EXPECT_NE(labels.find("\tThe Tail\n"), std::string::npos) << labels;
    const std::string cue = testmedia::readBytes(cueSheet.toStdString());
    EXPECT_NE(cue.find("  TRACK 03 AUDIO\n    TITLE \"Part C\"\n    INDEX 01 00:01:00\n"), std::string::npos) << cue;
    EXPECT_NE(cue.find("  TRACK 04 AUDIO\n    TITLE \"The Tail\"\n"), std::string::npos) << cue;

    ASSERT_TRUE(QFile::remove(output()));
    ASSERT_EQ(runProgram({"-o", output(), "--no-markers", book, tail}).exitCode, kExitJoined);
    expectChapters({}, "--no-markers");
}

// Every kind of chapters a source can carry, in the middle of a join, each
// cut to the part joined: its chapter past the end is left out.
TEST_P(SourceChaptersProgram, EveryKindOfSourceChaptersIsKept)
{
    if (!made.contains("intro.wav"))
        made["intro.wav"] = makeTone("intro.wav", 0.5, {"-c:a", "pcm_s16le"});
    const QString intro = made["intro.wav"];
    ASSERT_FALSE(intro.isEmpty());
    const MediaTime introLength = lengthOf(intro);
    for (const SourceKind& kind : kKinds) {
        std::vector<Chapter> chapters = kTwoChapters;
        // A chapter the file's sound never reaches.
        chapters.push_back({kChapteredSeconds + 1.0, "Never"});
        if (QString(kind.name) == "FlacCueSheet")
            chapters.pop_back(); // a cue sheet cannot point past its file's end
        const QString source = makeChaptered(kind, chapters, kChapteredSeconds, kind.name);
        ASSERT_FALSE(source.isEmpty()) << kind.name;
        QFile::remove(output());
        const ProgramRun run = runProgram({"-o", output(), intro, source, intro});
        ASSERT_EQ(run.exitCode, kExitJoined) << kind.name << ": " << run.err.toStdString();
        const QString first = kind.titled ? "Uno" : QString(kind.name) + " 1";
        const QString second = kind.titled ? "Dos" : QString(kind.name) + " 2";
        const MediaTime outroStart = introLength + lengthOf(source);
        expectChapters({{0, "intro"},
                        {introLength, first},
                        {introLength + kUnitsPerSecond * 6 / 10, second},
                        {outroStart, "intro"}},
                       kind.name);
    }
}

INSTANTIATE_TEST_SUITE_P(Outputs, SourceChaptersProgram, ::testing::Values("m4b", "mp3", "flac", "opus", "wav"),
                         [](const auto& tested) { return std::string(tested.param); });

// A cue sheet's tracks have two digits: a join whose sources' chapters make
// more than 99 is refused before anything is written, and names the way out.
TEST(SourceChaptersCueSheet, MoreThanNinetyNineChaptersAreRefusedBeforeAnythingIsWritten)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::vector<Chapter> chapters;
    for (int i = 0; i < 100; ++i)
        chapters.push_back({i * 0.05, QStringLiteral("Chapter %1").arg(i + 1)});
    const QString meta = dir.filePath("meta.txt");
    ASSERT_TRUE(testmedia::writeBytes(meta.toStdString(), ffmetadata(chapters, 5.0).toStdString()));
    const QString source = dir.filePath("many.m4a");
    QByteArray said;
    ASSERT_TRUE(runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "sine=duration=5", "-i", meta, "-map", "0",
                                   "-map_metadata", "1", "-map_chapters", "1", source},
                        &said))
        << said.toStdString();
    const QString output = dir.filePath("joined.wav");
    const QString cue = dir.filePath("joined.cue");
    const ProgramRun refused = runProgram({"-o", output, "--cue", cue, source});
    EXPECT_EQ(refused.exitCode, kExitFailed);
    EXPECT_TRUE(refused.err.contains("at most 99 tracks, one per chapter") && refused.err.contains("label list"))
        << refused.err.toStdString();
    EXPECT_FALSE(QFile::exists(output));
    EXPECT_FALSE(QFile::exists(output + ".part"));
    EXPECT_FALSE(QFile::exists(cue));

    const QString labels = dir.filePath("joined.txt");
    const ProgramRun listed = runProgram({"-o", output, "--labels", labels, source});
    ASSERT_EQ(listed.exitCode, kExitJoined) << listed.err.toStdString();
    EXPECT_EQ(testmedia::readBytes(labels.toStdString()).find("\tChapter 100\n") != std::string::npos, true);
    EXPECT_EQ(QString::fromStdString(testmedia::readBytes(labels.toStdString())).count('\n'), 100);
}

} // namespace
} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/console_join.h"
#include "media/ffmpeg.h"
#include "media/measure_duration.h"
#include "media/render_plan.h"
#include "tests/cli/program_run.h"
#include "tests/support/encoded_media.h"
#include "tests/support/probe.h"
#include "tests/support/qt_printers.h"
#include "tests/support/test_media.h"

#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// What kestrine-join carries from its sources into every output format:
// tags, the cover and chapters named by the sources' titles, as readers
// other than ours (ffprobe, metaflac, mp3val) see them.
namespace kestrine::testing {
namespace {

// Every source's rate, which every output keeps.
constexpr int kSourceRate = 48'000;

using testmedia::MediaFormat;

// The value of tag `key`, in any case, in the format's tags or a sound
// stream's (Ogg keeps them there); empty when there is none.
QString tagOf(const QJsonObject& probed, const QString& key)
{
    std::vector<QJsonObject> holders{probed["format"].toObject()["tags"].toObject()};
    for (const QJsonValue& stream : probed["streams"].toArray())
        if (stream["codec_type"].toString() == "audio")
            holders.push_back(stream["tags"].toObject());
    for (const QJsonObject& tags : holders)
        for (auto it = tags.begin(); it != tags.end(); ++it)
            if (it.key().compare(key, Qt::CaseInsensitive) == 0)
                return it.value().toString();
    return {};
}

// The streams that are an attached picture, by their codec.
QStringList coversOf(const QJsonObject& probed)
{
    QStringList covers;
    for (const QJsonValue& stream : probed["streams"].toArray())
        if (stream["disposition"]["attached_pic"].toInt() == 1)
            covers.append(stream["codec_name"].toString());
    return covers;
}

QByteArray runTool(const QString& program, const QStringList& arguments, int* exitCode)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120'000))
        process.kill();
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return process.readAll();
}

// Three sources as an audiobook's chapter files come: tagged with their
// titles, album, artist and genre; the first an mp3 with a cover, then an
// mp3 and an m4a.
class TagsProgram : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        int exitCode = -1;
        const QByteArray said = runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "color=c=red:s=32x32", "-frames:v",
                                                   "1", path("cover.png")},
                                        &exitCode);
        ASSERT_EQ(exitCode, 0) << said.toStdString();
        struct Piece {
            const char* name;
            MediaFormat format;
            std::int64_t frames;
            const char* title;
        };
        const Piece pieces[] = {{"one", MediaFormat::Mp3, 52'111, "Chapter One"},
                                {"two", MediaFormat::Mp3, 40'007, "Chapter Two"},
                                {"three", MediaFormat::M4a, 61'001, "Chapter Three"}};
        MediaTime at = 0;
        for (const Piece& piece : pieces) {
            testmedia::ToneSpec tone;
            tone.frames = piece.frames;
            tone.sampleRate = kSourceRate;
            tone.channels = 1;
            const testmedia::Generated file = testmedia::writeTone(
                dir.path().toStdString(), piece.name, piece.format, tone,
                {{"title", piece.title}, {"album", "The Book"}, {"artist", "An Author"}, {"genre", "Audiobook"},
                 {"track", "1"}});
            if (file.status == testmedia::Status::Unavailable)
                GTEST_SKIP() << file.message;
            ASSERT_TRUE(file) << file.message;
            sources.append(QString::fromStdString(file.path));
        }
        // The cover goes into the first one as an attached picture.
        const QByteArray embedded =
            runTool("ffmpeg", {"-v", "error", "-i", sources[0], "-i", path("cover.png"), "-map", "0", "-map", "1",
                               "-c", "copy", "-id3v2_version", "3", "-disposition:v", "attached_pic",
                               path("one-covered.mp3")},
                    &exitCode);
        ASSERT_EQ(exitCode, 0) << embedded.toStdString();
        sources[0] = path("one-covered.mp3");
        ASSERT_EQ(coversOf(testmedia::probeFile(sources[0].toStdString())), QStringList{"png"});
        for (const QString& source : sources) {
            MediaTime length = 0;
            ASSERT_EQ(measureDuration(source.toStdString(), length), result::kOk);
            startTimes.push_back(at);
            at += length;
        }
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    QString output() const { return path(QStringLiteral("joined.") + GetParam()); }

    // Joins the sources with `options` into output(); what ffprobe then sees.
    QJsonObject join(const QStringList& options, QString* err = nullptr)
    {
        const ProgramRun run = runProgram(QStringList{"-o", output()} + options + sources);
        EXPECT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
        if (err)
            *err = run.err;
        else
            EXPECT_EQ(run.err, QString());
        const QJsonObject probed = testmedia::probeFile(output().toStdString());
        EXPECT_FALSE(probed.isEmpty()) << "ffprobe cannot read " << output().toStdString();
        expectOthersAccept();
        return probed;
    }

    // The format's own checkers accept the file: whatever the tags hold,
    // they never break their container.
    void expectOthersAccept()
    {
        const std::string file = output().toStdString();
        int exitCode = -1;
        const OutputFormat format = outputFormatFor(file);
        if (format.encoding == Encoding::Flac) {
            EXPECT_EQ(testmedia::flacTestFailure(file), "");
        } else if (format.encoding == Encoding::Mp3) {
            const QByteArray said = runTool("mp3val", {output()}, &exitCode);
            EXPECT_EQ(exitCode, 0);
            EXPECT_FALSE(said.contains("WARNING")) << said.toStdString();
        } else if (format.encoding == Encoding::Opus) {
            const QByteArray said = runTool("opusinfo", {output()}, &exitCode);
            EXPECT_EQ(exitCode, 0) << said.toStdString();
            EXPECT_FALSE(said.contains("WARNING")) << said.toStdString();
        }
        EXPECT_EQ(testmedia::playedFrames(file, format.encoding),
                  frameAt(startTimes.back() + lastLength(), kSourceRate));
    }

    MediaTime lastLength() const
    {
        MediaTime length = 0;
        measureDuration(sources.back().toStdString(), length);
        return length;
    }

    void expectChaptersNamedByTitles(const QJsonObject& probed)
    {
        const QJsonArray chapters = probed["chapters"].toArray();
        const int rate = kSourceRate;
        const char* titles[] = {"Chapter One", "Chapter Two", "Chapter Three"};
        // An AIFF file's markers are a MARK chunk, which ffprobe does not list.
        if (outputFormatFor(output().toStdString()).encoding == Encoding::Aiff)
            return;
        if (outputFormatFor(output().toStdString()).encoding == Encoding::Wav)
            return; // a WAV file's markers are cue points, which ffprobe does not list
        ASSERT_EQ(chapters.size(), 3);
        for (qsizetype i = 0; i < 3; ++i) {
            const QJsonObject chapter = chapters[i].toObject();
            EXPECT_EQ(chapter["tags"]["title"].toString(), titles[i]) << "chapter " << i;
            const std::int64_t startMs =
                av_rescale_rnd(frameAt(startTimes[static_cast<std::size_t>(i)], rate), 1000, rate, AV_ROUND_NEAR_INF);
            EXPECT_NEAR(chapter["start_time"].toString().toDouble() * 1000.0, static_cast<double>(startMs), 0.5)
                << "chapter " << i;
        }
    }

    QTemporaryDir dir;
    QStringList sources;
    std::vector<MediaTime> startTimes;
};

TEST_P(TagsProgram, CarriesTheSourcesTagsAndCoverAndNamesChaptersByTheirTitles)
{
    const QJsonObject probed = join({});
    EXPECT_EQ(tagOf(probed, "album"), "The Book");
    EXPECT_EQ(tagOf(probed, "artist"), "An Author");
    EXPECT_EQ(tagOf(probed, "genre"), "Audiobook");
    EXPECT_EQ(tagOf(probed, "title"), "The Book") << "the join is titled as its album";
    EXPECT_EQ(tagOf(probed, "track"), "") << "the join is one item: no track number";
    EXPECT_EQ(coversOf(probed), QStringList{"png"});
    expectChaptersNamedByTitles(probed);
    if (outputFormatFor(output().toStdString()).encoding == Encoding::M4b) {
        EXPECT_EQ(probed["format"]["tags"]["major_brand"].toString(), "M4B ");
    }
    if (outputFormatFor(output().toStdString()).encoding == Encoding::Flac) {
        int exitCode = -1;
        const QByteArray tags = runTool("metaflac", {"--export-tags-to=-", output()}, &exitCode);
        EXPECT_EQ(exitCode, 0) << tags.toStdString();
        EXPECT_TRUE(tags.contains("ALBUM=The Book\n")) << tags.toStdString();
        EXPECT_TRUE(tags.contains("ARTIST=An Author\n")) << tags.toStdString();
        const QByteArray picture = runTool("metaflac", {"--list", "--block-type=PICTURE", output()}, &exitCode);
        EXPECT_EQ(exitCode, 0) << picture.toStdString();
        EXPECT_TRUE(picture.contains("type: 3 (Cover (front))")) << picture.toStdString();
        EXPECT_TRUE(picture.contains("MIME type: image/png")) << picture.toStdString();
    }
}

TEST_P(TagsProgram, OptionsSetTheTagsAndNoTagsLeavesThemAndTheCoverOut)
{
    QJsonObject probed = join({"--title", "Whole Book", "--artist", "Reader", "--album", "Another Book"});
    EXPECT_EQ(tagOf(probed, "title"), "Whole Book");
    EXPECT_EQ(tagOf(probed, "artist"), "Reader");
    EXPECT_EQ(tagOf(probed, "album"), "Another Book");
    EXPECT_EQ(tagOf(probed, "genre"), "Audiobook") << "what no option sets stays the sources'";

    ASSERT_TRUE(QFile::remove(output()));
    probed = join({"--no-tags"});
    for (const char* key : {"title", "album", "artist", "genre"})
        EXPECT_EQ(tagOf(probed, key), "") << key;
    EXPECT_EQ(coversOf(probed), QStringList{});
    expectChaptersNamedByTitles(probed);
}

// A cover that cannot be one is left out with a warning, and the join goes on.
TEST_P(TagsProgram, ABadCoverIsLeftOutWithAWarning)
{
    ASSERT_TRUE(testmedia::writeBytes(path("words.jpg").toStdString(), "not a picture at all"));
    std::string large = testmedia::readBytes(path("cover.png").toStdString());
    large.resize(16'000'001, '\0');
    ASSERT_TRUE(testmedia::writeBytes(path("large.png").toStdString(), large));
    struct Case {
        QString cover;
        QString reason;
    };
    for (const Case& c : {Case{path("words.jpg"), "not a JPEG or PNG image"}, Case{path("large.png"), "larger than 16 MB"},
                          Case{path("missing.png"), "does not exist"}}) {
        QFile::remove(output());
        QString err;
        const QJsonObject probed = join({"--cover", c.cover}, &err);
        EXPECT_TRUE(err.contains("warning") && err.contains(c.cover) && err.contains(c.reason)) << err.toStdString();
        EXPECT_EQ(coversOf(probed), QStringList{}) << c.cover.toStdString();
        EXPECT_EQ(tagOf(probed, "album"), "The Book");
    }
    // A good one takes the place of the sources'.
    QFile::remove(output());
    int exitCode = -1;
    runTool("ffmpeg", {"-v", "error", "-i", path("cover.png"), path("cover.jpg")}, &exitCode);
    ASSERT_EQ(exitCode, 0);
    EXPECT_EQ(coversOf(join({"--cover", path("cover.jpg")})), QStringList{"mjpeg"});
}

INSTANTIATE_TEST_SUITE_P(Formats, TagsProgram, ::testing::Values("m4b", "mp3", "flac", "opus", "m4a", "wav", "aiff"));

// Tag bytes that are not UTF-8 (a Latin-1 artist in a FLAC file's comments)
// come out as valid UTF-8 in every format that needs it.
TEST(TagsProgramText, TagsThatAreNotUtf8BecomeValidUtf8)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    testmedia::ToneSpec tone;
    tone.frames = 4410;
    const testmedia::Generated source =
        testmedia::writeTone(dir.path().toStdString(), "latin", MediaFormat::Flac, tone,
                             {{"artist", "Caf\xe9 M\xfcller"}, {"album", "Ok \xc3\xa9"}});
    ASSERT_TRUE(source) << source.message;
    for (const char* extension : {"flac", "mp3", "m4a", "opus", "wav"}) {
        const QString output = dir.filePath(QStringLiteral("out.") + extension);
        const ProgramRun run = runProgram({"-o", output, QString::fromStdString(source.path)});
        ASSERT_EQ(run.exitCode, kExitJoined) << run.err.toStdString();
        const QJsonObject probed = testmedia::probeFile(output.toStdString());
        EXPECT_EQ(tagOf(probed, "artist"), QString::fromUtf8("Caf\xef\xbf\xbd M\xef\xbf\xbdller")) << extension;
        EXPECT_EQ(tagOf(probed, "album"), QString::fromUtf8("Ok \xc3\xa9")) << extension;
    }
}

} // namespace
} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/main_dialog.h"
#include "app/written_output.h"
#include "media/framework/ffmpeg_encoder_catalog.h"
#include "media/framework/ffmpeg_media_framework.h"
#include "media/wav_header.h"
#include "platform/settings_store.h"
#include "media/render_plan.h"
#include "tests/app/window_waits.h"
#include "tests/support/encoded_media.h"
#include "tests/support/fake_shell.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/test_media.h"
#include "tests/support/wav_assertions.h"

#include <QDir>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <iostream>
#include <cstdint>
#include <gtest/gtest.h>

#include <unistd.h>

namespace kestrine::testing {
namespace {

namespace tm = kestrine::testmedia;

// The main dialog on the real FFmpeg framework: Add, Join and the graph's own
// completion event, then the file read back.
class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        QSettings(QStringLiteral("Tallowmere"), QStringLiteral("kestrine-e2e-test")).clear();
        output = QDir(folder.path()).filePath(QStringLiteral("joined.wav"));
        settings.writeText("Settings", "OutputName", output);
    }

    tm::Generated tone(const std::string& name, tm::MediaFormat format, std::int64_t frames, int sampleRate = 44'100)
    {
        tm::ToneSpec spec;
        spec.frames = frames;
        spec.sampleRate = sampleRate;
        tm::Generated file = tm::writeTone(folder.path().toStdString(), name, format, spec);
        return file;
    }

    void clickJoin(MainDialog& dialog)
    {
        auto* join = dialog.findChild<QPushButton*>(controlName(control::kJoin));
        ASSERT_NE(join, nullptr);
        // Each click a second after the last, whatever the real clock says.
        dialog.setClock([at = ++clicks * 1000] { return at; });
        QTest::mouseClick(join, Qt::LeftButton);
        waitForJoinStart(dialog);
    }

    QTemporaryDir folder;
    FfmpegMediaFramework framework;
    FfmpegEncoderCatalog encoders;
    RecordingDialogs dialogs;
    FakeShell shell;
    SettingsStore settings{QStringLiteral("Tallowmere"), QStringLiteral("kestrine-e2e-test")};
    QString output;
    std::int64_t clicks = 0;
};

// Each file that cannot be added says what is wrong with it, in the words
// kestrine-join uses for it.
TEST_F(EndToEndTest, EachFileThatCannotBeAddedSaysItsOwnReason)
{
    tm::UnjoinableFiles files;
    const tm::Generated made = tm::writeUnjoinableFiles(folder.path().toStdString(), files);
    if (made.status == tm::Status::Unavailable)
        GTEST_SKIP() << made.message;
    ASSERT_TRUE(made) << made.message;
    const QString locked = QString::fromStdString(files.unreadable);

    const struct {
        const char* name;
        QString file;
        QString explanation; // %1 is the file
    } cases[] = {
        {"missing file", QString::fromStdString(files.missing),
         QStringLiteral("Cannot open %1: The file does not exist.")},
        {"no read permission", locked, QStringLiteral("Cannot open %1: Permission to read or write the file was denied.")},
        {"text named .mp3", QString::fromStdString(files.text),
         QStringLiteral("Cannot open %1: The file is not a media file that can be read, or its data is damaged.")},
        {"video without sound", QString::fromStdString(files.silentVideo),
         QStringLiteral("%1 has no sound track: there is nothing in it to join.")},
    };
    MainDialog dialog(framework, dialogs, shell, settings, encoders);
    dialog.show();
    auto* add = dialog.findChild<QPushButton*>(controlName(control::kAdd));
    ASSERT_NE(add, nullptr);
    for (const auto& tested : cases) {
        // Permission bits do not stop root from reading.
        if (tested.file == locked && ::geteuid() == 0) {
            std::cout << "[ NOTE     ] " << tested.name << ": not checked as root\n";
            continue;
        }
        dialogs.messages.clear();
        dialogs.openAnswers.push_back({tested.file});
        QTest::mouseClick(add, Qt::LeftButton);
        waitForMeasuring(dialog);
        EXPECT_EQ(dialogs.texts(), QStringList({tested.explanation.arg(tested.file),
                                                QStringLiteral("Can not get the duration of the clip!")}))
            << tested.name;
        EXPECT_EQ(dialog.clipList().count(), 0) << tested.name;
    }
}

TEST_F(EndToEndTest, AddJoinAndCompletionWriteTheExactWav)
{
    const tm::Generated first = tone("first", tm::MediaFormat::WavS16, 44'100);
    const tm::Generated second = tone("second", tm::MediaFormat::Flac, 22'050);
    const tm::Generated third = tone("third", tm::MediaFormat::WavS16, 30'000);
    ASSERT_TRUE(first) << first.message;
    ASSERT_TRUE(third) << third.message;
    if (!second)
        GTEST_SKIP() << second.message;

    MainDialog dialog(framework, dialogs, shell, settings, encoders);
    dialog.show();
    dialogs.openAnswers.push_back({QString::fromStdString(first.path), QString::fromStdString(second.path),
                                   QString::fromStdString(third.path)});
    QTest::mouseClick(dialog.findChild<QPushButton*>(controlName(control::kAdd)), Qt::LeftButton);
    waitForMeasuring(dialog);
    ASSERT_EQ(dialog.clipList().count(), 3) << dialogs.texts().join('\n').toStdString();

    MediaTime total = 0;
    for (const ClipItem& item : dialog.clipList().items())
        total += item.duration;
    const auto expectedFrames = static_cast<std::int64_t>(std::llround(static_cast<double>(total) * 44100 / 1e7));
    EXPECT_EQ(expectedFrames, 44'100 + 22'050 + 30'000);

    clickJoin(dialog);
    ASSERT_TRUE(dialog.joining()) << dialogs.texts().join('\n').toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.joining(); }, 60'000)) << "the join did not end";
    EXPECT_EQ(dialog.statusText(), QStringLiteral("Done. Output File: ") + output);
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.texts().join('\n').toStdString();

    EXPECT_TRUE(tm::isJoinedWav(tm::readWav(output.toStdString()), expectedFrames));
}

struct OutputCase {
    const char* extension;
    Encoding encoding;
    int sampleRate;
    const char* codec;
};

void PrintTo(const OutputCase& tested, std::ostream* out)
{
    *out << tested.extension;
}

class EndToEndFormatTest : public EndToEndTest, public ::testing::WithParamInterface<OutputCase> {};

// The output's name chooses its format; the window needs nothing else. A wav,
// an mp3, an ogg and an m4a source, at lengths off the millisecond grid, come
// out at exactly their joined length with a chapter where each one starts.
TEST_P(EndToEndFormatTest, TheOutputsNameChoosesItsFormatAndEverySourceGetsAMarker)
{
    const OutputCase& tested = GetParam();
    struct Source {
        const char* name;
        tm::MediaFormat format;
        std::int64_t frames;
        int sampleRate;
    };
    const Source sources[] = {{"first", tm::MediaFormat::WavS16, 45'041, 44'100},
                              {"second", tm::MediaFormat::Mp3, 33'941, 48'000},
                              {"third", tm::MediaFormat::Ogg, 20'147, 22'050},
                              {"fourth", tm::MediaFormat::M4a, 49'035, 44'100}};
    QStringList paths;
    for (const Source& source : sources) {
        const tm::Generated file = tone(source.name, source.format, source.frames, source.sampleRate);
        if (!file)
            GTEST_SKIP() << file.message;
        paths.append(QString::fromStdString(file.path));
    }
    output = QDir(folder.path()).filePath(QStringLiteral("joined.") + QLatin1String(tested.extension));
    settings.writeText("Settings", "OutputName", output);

    MainDialog dialog(framework, dialogs, shell, settings, encoders);
    dialog.show();
    addFilesAndWait(dialog, paths);
    ASSERT_EQ(dialog.clipList().count(), 4) << dialogs.texts().join('\n').toStdString();
    // Where each source starts and where the join ends, at the output's rate.
    std::vector<std::int64_t> starts;
    MediaTime at = 0;
    for (const ClipItem& item : dialog.clipList().items()) {
        starts.push_back(frameAt(at, tested.sampleRate));
        at += item.duration;
    }
    const std::int64_t expectedFrames = frameAt(at, tested.sampleRate);

    clickJoin(dialog);
    ASSERT_TRUE(dialog.joining()) << dialogs.texts().join('\n').toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.joining(); }, 60'000)) << "the join did not end";
    ASSERT_TRUE(dialogs.messages.isEmpty()) << dialogs.texts().join('\n').toStdString();
    EXPECT_EQ(dialog.statusText(), QStringLiteral("Done. Output File: ") + output);

    const std::string written = output.toStdString();
    EXPECT_EQ(tm::codecOf(written), tested.codec);
    EXPECT_EQ(tm::playedFrames(written, tested.encoding), expectedFrames);
    if (tested.encoding == Encoding::Flac) {
        EXPECT_EQ(tm::flacTestFailure(written), "");
    }
    const std::vector<tm::Chapter> chapters = tm::chaptersOf(written);
    ASSERT_EQ(chapters.size(), starts.size());
    for (std::size_t i = 0; i < starts.size(); ++i) {
        EXPECT_EQ(chapters[i].ms, (starts[i] * 1000 + tested.sampleRate / 2) / tested.sampleRate) << "marker " << i;
        EXPECT_EQ(chapters[i].title, QFileInfo(paths[static_cast<qsizetype>(i)]).completeBaseName().toStdString());
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, EndToEndFormatTest,
                         ::testing::Values(OutputCase{"flac", Encoding::Flac, 44'100, "flac"},
                                           OutputCase{"mp3", Encoding::Mp3, 44'100, "mp3"},
                                           OutputCase{"opus", Encoding::Opus, 48'000, "opus"},
                                           OutputCase{"m4a", Encoding::M4a, 44'100, "aac"}),
                         [](const ::testing::TestParamInfo<OutputCase>& param) { return param.param.extension; });

// How far the running join has written, complete from the start.
MediaTime writtenSoFar(const MainDialog& dialog)
{
    const auto& engine = dialog.joinReferences().renderEngine;
    std::shared_ptr<FilterGraph> graph;
    std::shared_ptr<MediaSeeking> seeking;
    MediaTime position = 0;
    if (!engine || failed(engine->filterGraph(graph)) || !graph || failed(graph->mediaSeeking(seeking)) || !seeking
        || failed(seeking->currentPosition(position)))
        return 0;
    return position;
}

TEST_F(EndToEndTest, StopLeavesAValidWavOfWhatWasWrittenAndSaysHowLong)
{
    // Another rate than the one asked for in Options, so the join resamples and takes a while.
    const tm::Generated longTone = tone("long", tm::MediaFormat::WavS16, 48'000 * 50, 48'000);
    ASSERT_TRUE(longTone) << longTone.message;
    settings.writeInt("Format", "SampleRate", 44'100);

    MainDialog dialog(framework, dialogs, shell, settings, encoders);
    dialog.show();
    const QString path = QString::fromStdString(longTone.path);
    addFilesAndWait(dialog, {path, path, path, path, path, path});
    ASSERT_EQ(dialog.clipList().count(), 6);
    clickJoin(dialog);
    ASSERT_TRUE(dialog.joining());
    // Stopped only once something is complete from the start, so that there
    // is always something to find in the file.
    ASSERT_TRUE(QTest::qWaitFor([&] { return writtenSoFar(dialog) >= kUnitsPerSecond || !dialog.joining(); }, 60'000));
    ASSERT_TRUE(dialog.joining()) << "the join ended before it could be stopped";
    const MediaTime written = writtenSoFar(dialog);
    clickJoin(dialog); // Stop
    EXPECT_FALSE(dialog.joining());
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.texts().join('\n').toStdString();

    const tm::WavData wav = tm::readWav(output.toStdString());
    ASSERT_TRUE(wav.ok) << wav.message;
    const std::int64_t atStop = written * 44'100 / kUnitsPerSecond;
    EXPECT_GE(wav.frames(), atStop);
    EXPECT_LT(wav.frames(), 6 * 44'100LL * 50);
    EXPECT_TRUE(tm::isJoinedWav(wav, wav.frames()));
    EXPECT_EQ(dialog.statusText(), QStringLiteral("Stopped. Output File: %1 holds the first %2.")
                                       .arg(output, lengthText(wav.frames() * kUnitsPerSecond / 44'100)));
}

TEST_F(EndToEndTest, AnUndecodableSourceEndsTheJoinWithAMessageThatSaysWhatIsOnDisk)
{
    const tm::Generated broken = tone("broken", tm::MediaFormat::WavS16, 44'100);
    const tm::Generated present = tone("present", tm::MediaFormat::WavS16, 44'100);
    ASSERT_TRUE(broken && present);

    MainDialog dialog(framework, dialogs, shell, settings, encoders);
    dialog.show();
    addFilesAndWait(dialog, {QString::fromStdString(broken.path), QString::fromStdString(present.path)});
    ASSERT_EQ(dialog.clipList().count(), 2);
    // Replaced, after it was measured, by bytes that no decoder reads. First
    // in the list, so the join fails before any of it is complete, however
    // the files are shared out between threads.
    ASSERT_TRUE(tm::writeBytes(broken.path, "not a sound file at all"));
    clickJoin(dialog);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.joining(); }, 60'000)) << "the join did not end";

    EXPECT_FALSE(dialog.statusText().startsWith(QStringLiteral("Done.")));
    ASSERT_EQ(dialogs.messages.size(), 1) << dialogs.texts().join(" / ").toStdString();
    const MessageRequest& failure = dialogs.messages.front();
    EXPECT_EQ(failure.caption, QStringLiteral("Error"));
    EXPECT_TRUE(failure.text.startsWith(QStringLiteral("The join stopped before the end: "))) << failure.text.toStdString();
    // Nothing of the join is complete, so either no file was made at all or
    // the one made holds a header and no sound; the message says which.
    const QString saidLine = failure.text.section(QLatin1Char('\n'), -1);
    if (saidLine == QStringLiteral("No file was written to %1.").arg(output)) {
        EXPECT_FALSE(QFileInfo::exists(output));
    } else {
        EXPECT_EQ(saidLine, QStringLiteral("%1 holds no sound.").arg(output)) << saidLine.toStdString();
        ASSERT_TRUE(QFileInfo(output).isFile());
        const PcmWavLayout layout = readPcmWavLayout(output.toStdString());
        ASSERT_TRUE(layout.valid);
        EXPECT_EQ(layout.dataBytes, 0u);
        EXPECT_EQ(QFileInfo(output).size(), static_cast<qint64>(layout.dataOffset));
    }
}

} // namespace
} // namespace kestrine::testing

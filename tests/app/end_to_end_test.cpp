// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/main_dialog.h"
#include "app/written_output.h"
#include "media/framework/ffmpeg_encoder_catalog.h"
#include "media/framework/ffmpeg_media_framework.h"
#include "media/wav_header.h"
#include "platform/settings_store.h"
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
#include <gtest/gtest.h>

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
        QTest::mouseClick(join, Qt::LeftButton);
    }

    QTemporaryDir folder;
    FfmpegMediaFramework framework;
    FfmpegEncoderCatalog encoders;
    RecordingDialogs dialogs;
    FakeShell shell;
    SettingsStore settings{QStringLiteral("Tallowmere"), QStringLiteral("kestrine-e2e-test")};
    QString output;
};

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
    // Another rate, so the join resamples and takes a while.
    const tm::Generated longTone = tone("long", tm::MediaFormat::WavS16, 48'000 * 50, 48'000);
    ASSERT_TRUE(longTone) << longTone.message;

    MainDialog dialog(framework, dialogs, shell, settings, encoders);
    dialog.show();
    const QString path = QString::fromStdString(longTone.path);
    dialog.addFiles({path, path, path, path, path, path});
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
    dialog.addFiles({QString::fromStdString(broken.path), QString::fromStdString(present.path)});
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

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/main_dialog.h"
#include "media/framework/ffmpeg_encoder_catalog.h"
#include "media/framework/ffmpeg_media_framework.h"
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
        auto* join = dialog.findChild<QPushButton*>(MainDialog::controlName(control::kJoin));
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
    QTest::mouseClick(dialog.findChild<QPushButton*>(MainDialog::controlName(control::kAdd)), Qt::LeftButton);
    ASSERT_EQ(dialog.clipList().count(), 3) << dialogs.texts().join('\n').toStdString();

    MediaTime total = 0;
    for (const ClipItem& item : dialog.clipList().items())
        total += item.duration;
    const auto expectedFrames = static_cast<std::int64_t>(std::llround(static_cast<double>(total) * 44100 / 1e7));
    EXPECT_EQ(expectedFrames, 44'100 + 22'050 + 30'000);

    clickJoin(dialog);
    ASSERT_TRUE(dialog.joining()) << dialogs.texts().join('\n').toStdString();
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.joining(), 60'000);
    EXPECT_EQ(dialog.statusText(), QStringLiteral("Done. Output File: ") + output);
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.texts().join('\n').toStdString();

    EXPECT_TRUE(tm::isJoinedWav(tm::readWav(output.toStdString()), expectedFrames));
}

TEST_F(EndToEndTest, StopLeavesAValidWavOfWhatWasWritten)
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
    // The join writes beside the output until it ends.
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(output + ".part").size() > 12'000'000 || !dialog.joining(), 60'000);
    ASSERT_TRUE(dialog.joining()) << "the join ended before it could be stopped";
    clickJoin(dialog); // Stop
    EXPECT_FALSE(dialog.joining());

    // What counts as written is what is complete from the start, which may be
    // nothing yet; either way the header matches the data.
    const tm::WavData wav = tm::readWav(output.toStdString());
    ASSERT_TRUE(wav.ok) << wav.message;
    EXPECT_EQ(wav.sampleRate, 44'100);
    EXPECT_EQ(wav.channels, 2);
    if (wav.frames() > 0) {
        EXPECT_EQ(wav.headerFrames, wav.frames());
    }
    EXPECT_LT(wav.frames(), 6 * 44'100LL * 50);
}

TEST_F(EndToEndTest, ASourceGoneBeforeTheJoinEndsItWithAMessageAndAValidWav)
{
    const tm::Generated present = tone("present", tm::MediaFormat::WavS16, 44'100);
    const tm::Generated gone = tone("gone", tm::MediaFormat::WavS16, 44'100);
    ASSERT_TRUE(present && gone);

    MainDialog dialog(framework, dialogs, shell, settings, encoders);
    dialog.show();
    dialog.addFiles({QString::fromStdString(present.path), QString::fromStdString(gone.path)});
    ASSERT_EQ(dialog.clipList().count(), 2);
    // Replaced by bytes that no decoder reads, after it was measured.
    ASSERT_TRUE(tm::writeBytes(gone.path, "not a sound file at all"));
    clickJoin(dialog);
    QTRY_VERIFY_WITH_TIMEOUT(!dialog.joining(), 60'000);

    EXPECT_FALSE(dialog.statusText().startsWith(QStringLiteral("Done.")));
    ASSERT_FALSE(dialogs.messages.isEmpty());
    EXPECT_TRUE(dialogs.messages.back().text.startsWith(QStringLiteral("The join stopped before the end")));
    ASSERT_FALSE(dialogs.messages.isEmpty());
    EXPECT_EQ(dialogs.messages.back().caption, QStringLiteral("Error")) << dialogs.texts().join(" / ").toStdString();
    const tm::WavData wav = tm::readWav(output.toStdString());
    if (QFileInfo::exists(output)) {
        ASSERT_TRUE(wav.ok) << wav.message;
        EXPECT_EQ(wav.headerFrames, wav.frames());
    }
}

} // namespace
} // namespace kestrine::testing

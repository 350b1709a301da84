// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/main_dialog.h"
#include "app/status_line.h"
#include "media/framework/ffmpeg_encoder_catalog.h"
#include "media/framework/ffmpeg_media_framework.h"
#include "output/format_settings.h"
#include "tests/app/main_dialog_fixture.h"
#include "tests/support/probe.h"
#include "tests/support/test_media.h"

#include <QComboBox>
#include <QJsonArray>
#include <QLabel>
#include <functional>

namespace kestrine::testing {
namespace {

namespace tm = kestrine::testmedia;

// The Options dialog while it is open: its Format choices and its summary.
QComboBox* formatChoice(QDialog& options, int id)
{
    return options.findChild<QComboBox*>(controlName(id));
}
void choose(QDialog& options, int id, int value)
{
    QComboBox* box = formatChoice(options, id);
    ASSERT_NE(box, nullptr) << id;
    const int index = box->findData(value);
    ASSERT_GE(index, 0) << id << ": " << value;
    box->setCurrentIndex(index);
    emit box->activated(index);
}
QString optionsSummary(QDialog& options)
{
    return options.findChild<QLabel*>(controlName(1066))->text();
}
constexpr int kSampleRateChoice = 1061;
constexpr int kChannelsChoice = 1062;
constexpr int kBitsChoice = 1063;
constexpr int kBitRateChoice = 1064;

// Runs work on the Options dialog once it is open, then presses OK.
void whenOptionsOpen(std::function<void(OutputSettingsDialog&)> work)
{
    QTimer::singleShot(0, [work = std::move(work)] {
        auto* options = qobject_cast<OutputSettingsDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(options, nullptr);
        work(*options);
        options->accept();
    });
}

class WindowFormatTest : public MainDialogTest {
protected:
    // Files of the list, measured as the given formats.
    void addWithFormats(const std::vector<SourceFormat>& formats)
    {
        QList<QPair<QString, MediaTime>> files;
        for (std::size_t i = 0; i < formats.size(); ++i) {
            const QString path = makeFile(QStringLiteral("part%1.mp3").arg(i));
            framework.setSoundFormat(path.toStdString(), formats[i]);
            files.append({path, static_cast<MediaTime>(i + 1) * kSecond});
        }
        addThroughDialog(files);
    }
    QString summary() { return dialog().findChild<StatusLine*>()->summary(); }
};

const SourceFormat kMono48k{48000, 1, false, 0};
const SourceFormat kDeep96k{96000, 2, true, 0};

TEST_F(WindowFormatTest, StatusLineSaysWhatTheJoinWritesAndFollowsListOutputAndChoices)
{
    settings.writeText("Settings", "OutputName", QDir(folder.path()).filePath(QStringLiteral("book.mp3")));
    addWithFormats({kMono48k, kMono48k, kMono48k});
    EXPECT_EQ(summary(), QStringLiteral("48,000 Hz mono, MP3 VBR quality 2"));
    EXPECT_EQ(dialog().joinFormatText(), summary());

    // A deep stereo take decides the channels; its rate carries less of the join.
    addWithFormats({kDeep96k});
    EXPECT_EQ(summary(), QStringLiteral("48,000 Hz stereo, MP3 VBR quality 2"));
    click(control::kDeleteAll);
    EXPECT_TRUE(summary().isEmpty());

    addWithFormats({kDeep96k, kDeep96k});
    EXPECT_EQ(summary(), QStringLiteral("48,000 Hz stereo, MP3 VBR quality 2"));
    changeOutputThroughOptions(QDir(folder.path()).filePath(QStringLiteral("takes.flac")));
    EXPECT_EQ(summary(), QStringLiteral("96,000 Hz stereo, 24-bit FLAC"));

    // The dialog says what the line will say, and OK makes it so.
    QString said;
    whenOptionsOpen([&said](OutputSettingsDialog& options) {
        EXPECT_EQ(optionsSummary(options), QStringLiteral("Writes 96,000 Hz stereo, 24-bit FLAC."));
        choose(options, kSampleRateChoice, 44100);
        choose(options, kBitsChoice, 16);
        choose(options, kChannelsChoice, 1);
        said = optionsSummary(options);
    });
    click(control::kOptions);
    EXPECT_EQ(said, QStringLiteral("Writes 44,100 Hz mono, 16-bit FLAC."));
    EXPECT_EQ(summary(), QStringLiteral("44,100 Hz mono, 16-bit FLAC"));
    EXPECT_EQ(readFormatRequest(settings), (AudioFormatRequest{.sampleRate = 44100, .channels = 1, .bitsPerSample = 16}));

    // Options opens with what was stored.
    whenOptionsOpen([](OutputSettingsDialog& options) {
        EXPECT_EQ(formatChoice(options, kSampleRateChoice)->currentText(), QStringLiteral("44,100 Hz"));
        EXPECT_EQ(formatChoice(options, kChannelsChoice)->currentText(), QStringLiteral("Mono"));
    });
    click(control::kOptions);
}

TEST_F(WindowFormatTest, WithoutEveryFilesFormatTheLineShowsTheListNotAGuess)
{
    settings.writeText("Settings", "OutputName", QDir(folder.path()).filePath(QStringLiteral("book.mp3")));
    addWithFormats({kMono48k});
    addNamed({"unknown"}); // measured, but of no format the framework told
    EXPECT_TRUE(dialog().joinFormatText().isEmpty());
    EXPECT_EQ(summary(), QStringLiteral("2 files \u00b7 0:02"));
}

TEST_F(WindowFormatTest, MovesUndoAndReplacementsKeepEachFilesFormat)
{
    addWithFormats({kMono48k, kDeep96k});
    view()->selectRows({1});
    click(control::kMoveUp);
    EXPECT_EQ(dialog().clipList().at(0).format, kDeep96k);
    dialog().moveRowsTo({0}, 2);
    EXPECT_EQ(dialog().clipList().at(1).format, kDeep96k);
    view()->selectRows({0});
    click(control::kDeleteSelected);
    QTest::keyClick(view(), Qt::Key_Z, Qt::ControlModifier);
    ASSERT_EQ(dialog().clipList().count(), 2);
    EXPECT_EQ(dialog().clipList().at(0).format, kMono48k);
    EXPECT_EQ(dialog().clipList().at(1).format, kDeep96k);
}

// A join started from the window, on the real framework, writes what the
// Options dialog said it would, as ffprobe reads the file.
struct WrittenCase {
    const char* name;
    const char* output;
    std::vector<std::pair<int, int>> choices; // choice id, value
    const char* said;
    const char* codec;
    int sampleRate;
    int channels;
    int bits; // FFmpeg's bits_per_raw_sample; 0 for a lossy codec
};

class WindowJoinFormatTest : public ::testing::TestWithParam<WrittenCase> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        QSettings(QStringLiteral("Tallowmere"), QStringLiteral("kestrine-format-test")).clear();
    }

    QTemporaryDir folder;
    FfmpegMediaFramework framework;
    FfmpegEncoderCatalog encoders;
    RecordingDialogs dialogs;
    FakeShell shell;
    SettingsStore settings{QStringLiteral("Tallowmere"), QStringLiteral("kestrine-format-test")};
};

TEST_P(WindowJoinFormatTest, TheJoinWritesWhatOptionsSaid)
{
    const WrittenCase& tested = GetParam();
    QStringList paths;
    for (const char* name : {"one", "two", "three"}) {
        tm::ToneSpec spec;
        spec.sampleRate = 48000;
        spec.channels = 1;
        spec.seconds = 0.5;
        const tm::Generated made = tm::writeTone(folder.path().toStdString(), name, tm::MediaFormat::Mp3, spec);
        if (!made)
            GTEST_SKIP() << made.message;
        paths.append(QString::fromStdString(made.path));
    }
    const QString output = QDir(folder.path()).filePath(QString::fromUtf8(tested.output));
    settings.writeText("Settings", "OutputName", output);

    MainDialog window(framework, dialogs, shell, settings, encoders);
    window.show();
    addFilesAndWait(window, paths);
    ASSERT_EQ(window.clipList().count(), 3) << dialogs.texts().join('\n').toStdString();

    QString said;
    whenOptionsOpen([&](OutputSettingsDialog& options) {
        for (const auto& [id, value] : tested.choices)
            choose(options, id, value);
        said = optionsSummary(options);
    });
    QTest::mouseClick(window.findChild<QPushButton*>(controlName(control::kOptions)), Qt::LeftButton);
    EXPECT_EQ(said.toStdString(), tested.said);
    EXPECT_EQ(QStringLiteral("Writes %1.").arg(window.findChild<StatusLine*>()->summary()), said);

    window.setClock([] { return 1000; });
    QTest::mouseClick(window.findChild<QPushButton*>(controlName(control::kJoin)), Qt::LeftButton);
    waitForJoinStart(window);
    ASSERT_TRUE(window.joining()) << dialogs.texts().join('\n').toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.joining(); }, 60'000)) << "the join did not end";
    ASSERT_TRUE(dialogs.messages.isEmpty()) << dialogs.texts().join('\n').toStdString();

    const QJsonObject probed = tm::probeFile(output.toStdString());
    ASSERT_FALSE(probed.isEmpty()) << "ffprobe cannot read " << output.toStdString();
    QJsonObject sound;
    for (const QJsonValue stream : probed.value(QStringLiteral("streams")).toArray())
        if (stream.toObject().value(QStringLiteral("codec_type")).toString() == QStringLiteral("audio"))
            sound = stream.toObject();
    EXPECT_EQ(sound.value(QStringLiteral("codec_name")).toString().toStdString(), tested.codec);
    EXPECT_EQ(sound.value(QStringLiteral("sample_rate")).toString().toInt(), tested.sampleRate);
    EXPECT_EQ(sound.value(QStringLiteral("channels")).toInt(), tested.channels);
    if (tested.bits > 0) {
        // WAV states its depth per sample; FLAC as its raw samples' bits.
        const QString key = tested.codec == std::string("flac") ? QStringLiteral("bits_per_raw_sample")
                                                                : QStringLiteral("bits_per_sample");
        const QJsonValue bits = sound.value(key);
        EXPECT_EQ(bits.isString() ? bits.toString().toInt() : bits.toInt(), tested.bits);
    }
}

const WrittenCase kWritten[] = {
    {"Mp3FollowsTheSources", "book.mp3", {}, "Writes 48,000 Hz mono, MP3 VBR quality 2.", "mp3", 48000, 1, 0},
    {"FlacAsChosen",
     "book.flac",
     {{kSampleRateChoice, 44100}, {kChannelsChoice, 2}, {kBitsChoice, 24}},
     "Writes 44,100 Hz stereo, 24-bit FLAC.",
     "flac",
     44100,
     2,
     24},
    {"WavFollowsTheSources", "book.wav", {}, "Writes 48,000 Hz mono, 16-bit WAV.", "pcm_s16le", 48000, 1, 16},
    {"M4bAtAChosenBitRate",
     "book.m4b",
     {{kBitRateChoice, 64}},
     "Writes 48,000 Hz mono, M4B at 64 kbit/s.",
     "aac",
     48000,
     1,
     0},
};
INSTANTIATE_TEST_SUITE_P(Outputs, WindowJoinFormatTest, ::testing::ValuesIn(kWritten),
                         [](const ::testing::TestParamInfo<WrittenCase>& param) {
                             return std::string(param.param.name);
                         });

} // namespace
} // namespace kestrine::testing

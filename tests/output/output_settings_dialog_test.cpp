// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/compressor_lists.h"
#include "output/output_settings_dialog.h"
#include "platform/settings_store.h"
#include "tests/support/recording_dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

namespace kestrine {
namespace {

using testing::RecordingDialogs;

class TwoEncoderCatalog : public EncoderCatalog {
public:
    MediaResult videoEncoders(std::vector<std::string>& names) const override
    {
        names = {"Motion JPEG"};
        return result::kOk;
    }
    MediaResult audioEncoders(std::vector<std::string>& names) const override
    {
        names = {"FLAC", "MP3"};
        return result::kOk;
    }
};

// Each test stores its settings under an application name of its own, in
// the test run's private configuration folder.
class OutputSettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        application = QString::fromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name());
        store = std::make_unique<SettingsStore>(QString::fromLatin1(kCompanyName), application);
        QSettings(QString::fromLatin1(kCompanyName), application).clear();
    }

    std::unique_ptr<OutputSettingsDialog> open(const OutputSettings& settings)
    {
        auto dialog = std::make_unique<OutputSettingsDialog>(settings, *store, dialogs, catalog);
        dialog->show();
        return dialog;
    }

    static OutputSettings withPath(const QString& path)
    {
        OutputSettings settings;
        settings.outputPath = path;
        return settings;
    }

    static QLineEdit* pathEdit(OutputSettingsDialog& dialog)
    {
        return dialog.findChild<QLineEdit*>(QStringLiteral("control1022"));
    }
    static QPushButton* browseButton(OutputSettingsDialog& dialog)
    {
        return dialog.findChild<QPushButton*>(QStringLiteral("control1024"));
    }
    static QPushButton* okButton(OutputSettingsDialog& dialog)
    {
        return dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
    }
    static QPushButton* cancelButton(OutputSettingsDialog& dialog)
    {
        return dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel);
    }

    QStringList storedKeys() const
    {
        return QSettings(QString::fromLatin1(kCompanyName), application).allKeys();
    }
    QString storedText(const QString& section, const QString& name) const
    {
        return store->readText(section, name, QStringLiteral("<missing>"));
    }
    int storedInt(const QString& section, const QString& name) const
    {
        return store->readInt(section, name, -999);
    }

    QString application;
    std::unique_ptr<SettingsStore> store;
    RecordingDialogs dialogs;
    TwoEncoderCatalog catalog;
};

TEST_F(OutputSettingsDialogTest, OpensWithThePathAndTheFormatControlsHidden)
{
    auto dialog = open(withPath(QStringLiteral("/music/joined.wav")));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Set output file name"));
    EXPECT_EQ(pathEdit(*dialog)->text(), QStringLiteral("/music/joined.wav"));
    EXPECT_EQ(dialog->outputPath(), QStringLiteral("/music/joined.wav"));
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("control1023"))->text(),
              QStringLiteral("Output file:"));
    EXPECT_EQ(browseButton(*dialog)->text(), QStringLiteral("Browse"));
    EXPECT_TRUE(okButton(*dialog)->isDefault());
    EXPECT_FALSE(browseButton(*dialog)->isDefault());

    auto* video = dialog->findChild<QComboBox*>(QStringLiteral("control1001"));
    auto* audio = dialog->findChild<QComboBox*>(QStringLiteral("control1002"));
    ASSERT_TRUE(video && audio);
    EXPECT_EQ(video->count(), 2);
    EXPECT_EQ(video->currentText(), QStringLiteral("Full frames (uncompressed)"));
    EXPECT_EQ(audio->count(), 3);
    EXPECT_EQ(audio->currentText(), QStringLiteral("Uncompressed Audio"));
    for (const int id : {1001, 1002, 1025, 1027, 1028, 1051, 1052, 1053, 1055, 1056, 1057}) {
        auto* control = dialog->findChild<QWidget*>(QStringLiteral("control%1").arg(id));
        ASSERT_NE(control, nullptr) << id;
        EXPECT_FALSE(control->isVisible()) << id;
    }
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

struct BrowseCase {
    const char* openedWith;
    const char* chosen;
    const char* folder;
    const char* result;
};

TEST_F(OutputSettingsDialogTest, BrowseStartsInTheFolderAndGivesAWavPath)
{
    const std::vector<BrowseCase> cases = {
        {"/out/song.mp3", "/out/song.mp3", "/out", "/out/song.wav"},
        {"/my.files/take", "/my.files/take", "/my.files", "/my.files/take.wav"},
        {R"(C:\Out\song.mp3)", R"(C:\Out\song.mp3)", R"(C:\Out)", R"(C:\Out\song.wav)"},
        {R"(C:\My.Files\take)", R"(C:\My.Files\take)", R"(C:\My.Files)", R"(C:\My.Files\take.wav)"},
        {"kestrine.wav", "/home/me/a.b.c.flac", ".", "/home/me/a.b.c.wav"},
        {"", "/home/me/take.", ".", "/home/me/take.wav"},
        {"/joined.wav", "/tmp/x.WAV", "/", "/tmp/x.wav"},
    };
    for (const BrowseCase& c : cases) {
        dialogs.saveRequests.clear();
        dialogs.saveAnswers = {QString::fromUtf8(c.chosen)};
        auto dialog = open(withPath(QString::fromUtf8(c.openedWith)));
        QTest::mouseClick(browseButton(*dialog), Qt::LeftButton);
        ASSERT_EQ(dialogs.saveRequests.size(), 1) << c.openedWith;
        const SaveFileRequest& request = dialogs.saveRequests.front();
        EXPECT_EQ(request.title, QStringLiteral("Select Output File Name"));
        EXPECT_EQ(request.filters,
                  (QStringList{QStringLiteral("WAV file (*.wav)"), QStringLiteral("FLAC file (*.flac)"),
                               QStringLiteral("MP3 file (*.mp3)"), QStringLiteral("Opus file (*.opus)"),
                               QStringLiteral("M4A file (*.m4a)"), QStringLiteral("M4B audiobook (*.m4b)"),
                               QStringLiteral("Ogg Opus file (*.ogg)"), QStringLiteral("AIFF file (*.aif *.aiff)")}));
        EXPECT_EQ(request.initialName, QStringLiteral("*.*"));
        // The join asks about replacing the file; the picker must not ask first.
        EXPECT_FALSE(request.askToReplace);
        EXPECT_EQ(request.initialFolder, QString::fromUtf8(c.folder)) << c.openedWith;
        EXPECT_EQ(dialog->outputPath(), QString::fromUtf8(c.result)) << c.chosen;
    }
}

// The file type left chosen in the save dialog gives the name its ending,
// whatever ending the name was typed with there.
TEST_F(OutputSettingsDialogTest, BrowseGivesTheNameTheEndingOfTheChosenType)
{
    const std::vector<std::pair<int, QString>> types = {
        {0, QStringLiteral(".wav")}, {1, QStringLiteral(".flac")}, {2, QStringLiteral(".mp3")},
        {3, QStringLiteral(".opus")}, {4, QStringLiteral(".m4a")}, {5, QStringLiteral(".m4b")},
        {6, QStringLiteral(".ogg")},  {7, QStringLiteral(".aiff")},
    };
    // The name picked in the save dialog, and what is left of it before the ending.
    const std::vector<std::pair<QString, QString>> names = {
        {QStringLiteral("/out/mix"), QStringLiteral("/out/mix")},
        {QStringLiteral("/out/mix.wav"), QStringLiteral("/out/mix")},
        {QStringLiteral("/out/mix.MP3"), QStringLiteral("/out/mix")},
        {QStringLiteral("/out/v1.2/mix"), QStringLiteral("/out/v1.2/mix")},
        {QStringLiteral("/out/a.b.flac"), QStringLiteral("/out/a.b")},
    };
    for (const auto& [filter, ending] : types) {
        for (const auto& [chosen, stem] : names) {
            dialogs.saveAnswers = {chosen};
            dialogs.saveFilterAnswers = {filter};
            auto dialog = open(withPath(QStringLiteral("/out/joined.wav")));
            QTest::mouseClick(browseButton(*dialog), Qt::LeftButton);
            EXPECT_EQ(dialog->outputPath().toStdString(), (stem + ending).toStdString()) << filter;
        }
    }
}

TEST_F(OutputSettingsDialogTest, APathTypedByHandKeepsItsEnding)
{
    for (const char* typed : {"/out/book.opus", "/out/mix.flac", "/out/plain", "/out/odd.xyz", "/out/take.OGG",
                              "/out/take.Aif", "/out/a.mp4/take"}) {
        auto dialog = open(withPath(QStringLiteral("/out/joined.wav")));
        pathEdit(*dialog)->setText(QString::fromUtf8(typed));
        QTest::mouseClick(okButton(*dialog), Qt::LeftButton);
        EXPECT_EQ(dialog->outputPath(), QString::fromUtf8(typed));
        EXPECT_EQ(storedText(QStringLiteral("Settings"), QStringLiteral("OutputName")), QString::fromUtf8(typed));
    }
}

TEST_F(OutputSettingsDialogTest, BrowseAlwaysStartsWhereThePathPointedAtOpening)
{
    auto dialog = open(withPath(QStringLiteral("/first/out.wav")));
    pathEdit(*dialog)->setText(QStringLiteral("/typed/by/hand.wav"));
    dialogs.saveAnswers = {QStringLiteral("/second/pick.wav"), QString()};
    QTest::mouseClick(browseButton(*dialog), Qt::LeftButton);
    EXPECT_EQ(dialog->outputPath(), QStringLiteral("/second/pick.wav"));
    QTest::mouseClick(browseButton(*dialog), Qt::LeftButton);
    ASSERT_EQ(dialogs.saveRequests.size(), 2);
    EXPECT_EQ(dialogs.saveRequests[0].initialFolder, QStringLiteral("/first"));
    EXPECT_EQ(dialogs.saveRequests[1].initialFolder, QStringLiteral("/first"));
    // The second save dialog was cancelled: the path stays.
    EXPECT_EQ(dialog->outputPath(), QStringLiteral("/second/pick.wav"));
}

TEST_F(OutputSettingsDialogTest, OkStoresPathSizesAndNoCompressor)
{
    OutputSettings settings = withPath(QStringLiteral("/out/joined.wav"));
    settings.outputWidth = 722;
    settings.outputHeight = 5;
    auto dialog = open(settings);
    QTest::mouseClick(okButton(*dialog), Qt::LeftButton);

    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    const QString section = QStringLiteral("Settings");
    EXPECT_EQ(storedText(section, QStringLiteral("OutputName")), QStringLiteral("/out/joined.wav"));
    EXPECT_EQ(storedInt(section, QStringLiteral("OutputWidth")), 720);
    EXPECT_EQ(storedInt(section, QStringLiteral("OutputHigh")), 16);
    EXPECT_EQ(storedInt(section, QStringLiteral("OutputFrameRateIndex")), 0);
    EXPECT_EQ(storedText(section, QStringLiteral("OutputFrameRate")), QStringLiteral("23.976000"));
    EXPECT_EQ(storedInt(QStringLiteral("DexVideoCompress"), QStringLiteral("CompressorNumber")), -1);
    EXPECT_EQ(storedInt(QStringLiteral("DexAudioCompress"), QStringLiteral("CompressorNumber")), -1);
}

TEST(OutputSettingsRules, FrameSidesAreMultiplesOfEightAndAtLeastSixteen)
{
    const std::vector<std::pair<int, int>> cases = {
        {722, 720}, {5, 16}, {352, 352}, {240, 240}, {16, 16}, {15, 16},
        {23, 16},   {24, 24}, {0, 16},   {-9, 16},  {-100, 16},
    };
    for (const auto& [given, stored] : cases)
        EXPECT_EQ(OutputSettingsDialog::storedFrameSide(given), stored) << given;
}

struct FrameRateCase {
    int index;
    double rate;
    int storedIndex;
    const char* storedRate;
};

TEST_F(OutputSettingsDialogTest, OkStoresTheFrameRateOfTheChoice)
{
    const std::vector<FrameRateCase> cases = {
        {0, 50.0, 0, "23.976000"},  {1, 50.0, 1, "24.000000"},    {2, 50.0, 2, "25.000000"},
        {3, 12.5, 3, "29.970000"},  {4, 50.0, 4, "30.000000"},    {5, 29.5, 5, "29.500000"},
        {5, 12.3456, 5, "12.346000"}, {7, 29.5, -1, "23.976000"}, {-1, 25.0, -1, "23.976000"},
    };
    for (const FrameRateCase& c : cases) {
        OutputSettings settings = withPath(QStringLiteral("/out/joined.wav"));
        settings.frameRateIndex = c.index;
        settings.frameRate = c.rate;
        auto dialog = open(settings);
        QTest::mouseClick(okButton(*dialog), Qt::LeftButton);
        EXPECT_EQ(storedInt(QStringLiteral("Settings"), QStringLiteral("OutputFrameRateIndex")),
                  c.storedIndex)
            << c.index;
        EXPECT_EQ(storedText(QStringLiteral("Settings"), QStringLiteral("OutputFrameRate")),
                  QString::fromUtf8(c.storedRate))
            << c.index << " " << c.rate;
    }
}

TEST_F(OutputSettingsDialogTest, TooSmallFrameRateKeepsTheDialogOpenAndStoresNothing)
{
    OutputSettings settings = withPath(QStringLiteral("/out/joined.wav"));
    settings.frameRate = 0.0004;
    settings.frameRateIndex = 5;
    auto dialog = open(settings);
    QTest::mouseClick(okButton(*dialog), Qt::LeftButton);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages.front().text, QStringLiteral("The frame rate is too small!"));
    EXPECT_EQ(dialogs.messages.front().caption, dialogs.applicationTitle());
    EXPECT_TRUE(storedKeys().isEmpty()) << storedKeys().join(QLatin1Char(' ')).toStdString();

    // Cancel still closes it.
    QTest::mouseClick(cancelButton(*dialog), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

// A name of a media format that cannot be written is refused with the
// formats that can, in any case; the dialog stays open and stores nothing.
TEST_F(OutputSettingsDialogTest, OkRefusesTheNameOfAFormatThatCannotBeWritten)
{
    for (const char* typed : {"/out/mix.aac", "/out/mix.WMA", "/out/film.Mp4"}) {
        dialogs.messages.clear();
        auto dialog = open(withPath(QStringLiteral("/out/joined.wav")));
        pathEdit(*dialog)->setText(QString::fromUtf8(typed));
        QTest::mouseClick(okButton(*dialog), Qt::LeftButton);
        EXPECT_TRUE(dialog->isVisible()) << typed;
        EXPECT_NE(dialog->result(), QDialog::Accepted) << typed;
        ASSERT_EQ(dialogs.messages.size(), 1) << typed;
        const QString extension = QString::fromUtf8(typed).section(QLatin1Char('.'), -1).toLower();
        EXPECT_EQ(dialogs.messages.front().text,
                  QStringLiteral("Kestrine cannot write .%1 files: it writes WAV (.wav), FLAC (.flac), MP3 (.mp3), "
                                 "M4A (.m4a), M4B (.m4b), Opus (.opus, .ogg) and AIFF (.aif, .aiff).")
                      .arg(extension));
        EXPECT_TRUE(storedKeys().isEmpty()) << storedKeys().join(QLatin1Char(' ')).toStdString();

        // Mending the name lets it through.
        pathEdit(*dialog)->setText(QStringLiteral("/out/mix.flac"));
        QTest::mouseClick(okButton(*dialog), Qt::LeftButton);
        EXPECT_EQ(dialog->result(), QDialog::Accepted) << typed;
        QSettings(QString::fromLatin1(kCompanyName), application).clear();
    }
}

TEST_F(OutputSettingsDialogTest, FrameRateThatRoundsToTheSmallestPasses)
{
    OutputSettings settings = withPath(QStringLiteral("/out/joined.wav"));
    settings.frameRate = 0.0006;
    settings.frameRateIndex = 5;
    auto dialog = open(settings);
    QTest::mouseClick(okButton(*dialog), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_EQ(storedText(QStringLiteral("Settings"), QStringLiteral("OutputFrameRate")),
              QStringLiteral("0.001000"));
}

TEST_F(OutputSettingsDialogTest, EmptyPathIsStored)
{
    auto dialog = open(withPath(QStringLiteral("/out/joined.wav")));
    pathEdit(*dialog)->clear();
    QTest::mouseClick(okButton(*dialog), Qt::LeftButton);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(storedText(QStringLiteral("Settings"), QStringLiteral("OutputName")), QString());
}

TEST_F(OutputSettingsDialogTest, EnterInThePathFieldIsOk)
{
    auto dialog = open(withPath(QStringLiteral("/out/joined.wav")));
    pathEdit(*dialog)->setText(QStringLiteral("/out/other.wav"));
    QTest::keyClick(pathEdit(*dialog), Qt::Key_Return);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(storedText(QStringLiteral("Settings"), QStringLiteral("OutputName")),
              QStringLiteral("/out/other.wav"));
}

TEST_F(OutputSettingsDialogTest, CancelAndClosingStoreNothing)
{
    for (const bool viaCancel : {true, false}) {
        OutputSettings settings = withPath(QStringLiteral("/out/joined.wav"));
        settings.outputWidth = 722;
        auto dialog = open(settings);
        pathEdit(*dialog)->setText(QStringLiteral("/out/changed.wav"));
        if (viaCancel)
            QTest::mouseClick(cancelButton(*dialog), Qt::LeftButton);
        else
            dialog->close();
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
        EXPECT_TRUE(storedKeys().isEmpty()) << (viaCancel ? "cancel" : "close");
    }
}

TEST_F(OutputSettingsDialogTest, FailingEncoderListIsReportedAndTheDialogStillOpens)
{
    class BrokenCatalog : public EncoderCatalog {
    public:
        MediaResult videoEncoders(std::vector<std::string>&) const override { return result::kNotRegistered; }
        MediaResult audioEncoders(std::vector<std::string>&) const override { return result::kFail; }
    } broken;
    OutputSettingsDialog dialog(withPath(QStringLiteral("/out/joined.wav")), *store, dialogs, broken);
    EXPECT_EQ(dialogs.texts(), (QStringList{QStringLiteral("Failed to create system enumerator"),
                                            QStringLiteral("Failed to create class enumerator")}));
    EXPECT_EQ(dialog.findChild<QComboBox*>(QStringLiteral("control1002"))->currentText(),
              QStringLiteral("Uncompressed Audio"));
}

} // namespace
} // namespace kestrine

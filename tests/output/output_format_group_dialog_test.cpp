// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/compressor_lists.h"
#include "output/format_settings.h"
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

class NoEncoderCatalog : public EncoderCatalog {
public:
    MediaResult videoEncoders(std::vector<std::string>& names) const override
    {
        names.clear();
        return result::kOk;
    }
    MediaResult audioEncoders(std::vector<std::string>& names) const override
    {
        names.clear();
        return result::kOk;
    }
};

constexpr MediaTime kSecond = kUnitsPerSecond;

SourceFormat source(int rate, int channels, bool deep = false, MediaTime length = kSecond)
{
    return {rate, channels, deep, length};
}

// The Format group of the Options dialog, as the user sees and uses it.
class OutputFormatGroupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        application = QString::fromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name());
        store = std::make_unique<SettingsStore>(QString::fromLatin1(kCompanyName), application);
        QSettings(QString::fromLatin1(kCompanyName), application).clear();
    }

    std::unique_ptr<OutputSettingsDialog> open(const QString& path, const AudioFormatRequest& format = {},
                                               std::vector<SourceFormat> sources = {})
    {
        OutputSettings settings;
        settings.outputPath = path;
        settings.format = format;
        settings.sources = std::move(sources);
        auto dialog = std::make_unique<OutputSettingsDialog>(settings, *store, dialogs, catalog);
        dialog->show();
        return dialog;
    }

    static QComboBox* box(OutputSettingsDialog& dialog, int id)
    {
        auto* found = dialog.findChild<QComboBox*>(QStringLiteral("control%1").arg(id));
        EXPECT_NE(found, nullptr) << id;
        return found;
    }
    static QComboBox* rate(OutputSettingsDialog& dialog) { return box(dialog, 1061); }
    static QComboBox* channels(OutputSettingsDialog& dialog) { return box(dialog, 1062); }
    static QComboBox* bits(OutputSettingsDialog& dialog) { return box(dialog, 1063); }
    static QComboBox* bitRate(OutputSettingsDialog& dialog) { return box(dialog, 1064); }
    static QComboBox* quality(OutputSettingsDialog& dialog) { return box(dialog, 1065); }
    static QString summary(OutputSettingsDialog& dialog)
    {
        return dialog.findChild<QLabel*>(QStringLiteral("control1066"))->text();
    }
    static QLineEdit* pathEdit(OutputSettingsDialog& dialog)
    {
        return dialog.findChild<QLineEdit*>(QStringLiteral("control1022"));
    }
    static QPushButton* button(OutputSettingsDialog& dialog, QDialogButtonBox::StandardButton which)
    {
        return dialog.findChild<QDialogButtonBox*>()->button(which);
    }

    static std::vector<int> values(QComboBox* box)
    {
        std::vector<int> found;
        for (int i = 0; i < box->count(); ++i)
            found.push_back(box->itemData(i).toInt());
        return found;
    }
    // What the box shows: its entry, or the reason it has none.
    static QString shown(QComboBox* box)
    {
        return box->currentIndex() >= 0 ? box->currentText() : box->placeholderText();
    }
    // Picks the entry that stores value, as a click in the box's list does.
    static void choose(QComboBox* box, int value)
    {
        const int index = box->findData(value);
        ASSERT_GE(index, 0) << value;
        ASSERT_TRUE(box->isEnabled());
        box->setCurrentIndex(index);
        emit box->activated(index);
    }

    AudioFormatRequest stored() const { return readFormatRequest(*store); }
    QStringList storedKeys() const { return QSettings(QString::fromLatin1(kCompanyName), application).allKeys(); }

    QString application;
    std::unique_ptr<SettingsStore> store;
    RecordingDialogs dialogs;
    NoEncoderCatalog catalog;
};

const std::vector<int> kEveryRate{0, 8000, 11025, 16000, 22050, 24000, 32000,
                                  44100, 48000, 88200, 96000, 176400, 192000};
const std::vector<int> kAacRates{0, 8000, 11025, 16000, 22050, 24000, 32000, 44100, 48000, 88200, 96000};
const std::vector<int> kMp3BitRates{0, 32, 48, 64, 96, 128, 160, 192, 224, 256, 320};
const std::vector<int> kTargetBitRates{0, 32, 48, 64, 96, 128, 160, 192, 224, 256, 320};
const std::vector<int> kQualities{-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
const std::vector<int> kNone{};

struct OfferCase {
    const char* name;
    std::vector<int> rates;
    const char* rateShown;
    std::vector<int> bits;
    const char* bitsShown;
    std::vector<int> bitRates;
    const char* bitRateShown;
    std::vector<int> qualities;
    const char* qualityShown;
};

TEST_F(OutputFormatGroupTest, EachOutputFormatOffersWhatItCanHoldAndStartsAtTheDefaults)
{
    const std::vector<OfferCase> cases = {
        {"/out/joined.wav", kEveryRate, "Same as the sources", {0, 16, 24}, "Same as the sources", kNone,
         "Not used by WAV", kNone, "Not used by WAV"},
        {"/out/joined.flac", kEveryRate, "Same as the sources", {0, 16, 24}, "Same as the sources", kNone,
         "Not used by FLAC", kNone, "Not used by FLAC"},
        {"/out/joined.aiff", kEveryRate, "Same as the sources", {0, 16, 24}, "Same as the sources", kNone,
         "Not used by AIFF", kNone, "Not used by AIFF"},
        {"/out/joined.mp3", {0, 32000, 44100, 48000}, "Same as the sources", kNone, "Not used by MP3",
         kMp3BitRates, "Default: variable, set by the quality", kQualities, "Default: 2"},
        {"/out/joined.m4a", kAacRates, "Same as the sources", kNone, "Not used by M4A", kTargetBitRates,
         "Default: 192 kbit/s", kNone, "Not used by M4A"},
        {"/out/book.M4B", kAacRates, "Same as the sources", kNone, "Not used by M4B", kTargetBitRates,
         "Default: 192 kbit/s", kNone, "Not used by M4B"},
        {"/out/joined.opus", kNone, "Always 48,000 Hz in Opus", kNone, "Not used by Opus", kTargetBitRates,
         "Default: 128 kbit/s", kNone, "Not used by Opus"},
        {"/out/joined.ogg", kNone, "Always 48,000 Hz in Opus", kNone, "Not used by Opus", kTargetBitRates,
         "Default: 128 kbit/s", kNone, "Not used by Opus"},
        // No ending, or one that is no media format: a WAV.
        {"/out/joined", kEveryRate, "Same as the sources", {0, 16, 24}, "Same as the sources", kNone,
         "Not used by WAV", kNone, "Not used by WAV"},
    };
    for (const OfferCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto dialog = open(QString::fromUtf8(c.name));
        const std::pair<QComboBox*, const std::vector<int>*> rows[] = {
            {rate(*dialog), &c.rates}, {bits(*dialog), &c.bits}, {bitRate(*dialog), &c.bitRates},
            {quality(*dialog), &c.qualities}};
        for (const auto& [row, expected] : rows) {
            EXPECT_EQ(values(row), *expected) << row->objectName().toStdString();
            // A choice the format has no use for is shown, disabled, with the reason.
            EXPECT_EQ(row->isEnabled(), !expected->empty()) << row->objectName().toStdString();
        }
        EXPECT_EQ(shown(rate(*dialog)), QString::fromUtf8(c.rateShown));
        EXPECT_EQ(shown(bits(*dialog)), QString::fromUtf8(c.bitsShown));
        EXPECT_EQ(shown(bitRate(*dialog)), QString::fromUtf8(c.bitRateShown));
        EXPECT_EQ(shown(quality(*dialog)), QString::fromUtf8(c.qualityShown));
        EXPECT_EQ(values(channels(*dialog)), (std::vector<int>{0, 1, 2}));
        EXPECT_EQ(shown(channels(*dialog)), QStringLiteral("Same as the sources"));
    }
}

TEST_F(OutputFormatGroupTest, ChoicesFollowTheNameAndComeBackWhenTheFormatHoldsThemAgain)
{
    auto dialog = open(QStringLiteral("/out/take.wav"));
    choose(rate(*dialog), 96000);
    choose(bits(*dialog), 24);
    choose(channels(*dialog), 1);

    // MP3 holds neither: the nearest rate it has, and no bit depth.
    pathEdit(*dialog)->setText(QStringLiteral("/out/take.mp3"));
    EXPECT_EQ(shown(rate(*dialog)), QStringLiteral("48,000 Hz"));
    EXPECT_FALSE(bits(*dialog)->isEnabled());
    EXPECT_EQ(shown(channels(*dialog)), QStringLiteral("Mono"));
    EXPECT_EQ(dialog->formatRequest(), (AudioFormatRequest{.sampleRate = 48000, .channels = 1}));

    pathEdit(*dialog)->setText(QStringLiteral("/out/take.flac"));
    EXPECT_EQ(shown(rate(*dialog)), QStringLiteral("96,000 Hz"));
    EXPECT_EQ(shown(bits(*dialog)), QStringLiteral("24-bit"));
    EXPECT_EQ(dialog->formatRequest(), (AudioFormatRequest{.sampleRate = 96000, .channels = 1, .bitsPerSample = 24}));

    // Browse changes the name as typing does.
    dialogs.saveAnswers = {QStringLiteral("/out/book")};
    dialogs.saveFilterAnswers = {5};
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("control1024")), Qt::LeftButton);
    ASSERT_EQ(dialog->outputPath(), QStringLiteral("/out/book.m4b"));
    EXPECT_EQ(shown(rate(*dialog)), QStringLiteral("96,000 Hz"));
    EXPECT_TRUE(bitRate(*dialog)->isEnabled());
    EXPECT_FALSE(bits(*dialog)->isEnabled());
}

TEST_F(OutputFormatGroupTest, AConstantMp3BitRateLeavesNoQualityToChoose)
{
    auto dialog = open(QStringLiteral("/out/mix.mp3"));
    choose(quality(*dialog), 0);
    EXPECT_EQ(dialog->formatRequest(), (AudioFormatRequest{.vbrQuality = 0}));

    choose(bitRate(*dialog), 256);
    EXPECT_FALSE(quality(*dialog)->isEnabled());
    EXPECT_EQ(shown(quality(*dialog)), QStringLiteral("Not used at a constant bit rate"));
    EXPECT_EQ(dialog->formatRequest(), (AudioFormatRequest{.bitRateKbps = 256}));

    choose(bitRate(*dialog), 0);
    EXPECT_EQ(shown(quality(*dialog)), QStringLiteral("0 (best, largest)"));
    EXPECT_EQ(dialog->formatRequest(), (AudioFormatRequest{.vbrQuality = 0}));
}

TEST_F(OutputFormatGroupTest, OpensWithTheStoredChoicesEvenOnesNotUsuallyOffered)
{
    auto dialog = open(QStringLiteral("/out/take.flac"), {.sampleRate = 37800, .channels = 2, .bitsPerSample = 16});
    EXPECT_EQ(shown(rate(*dialog)), QStringLiteral("37,800 Hz"));
    EXPECT_EQ(shown(channels(*dialog)), QStringLiteral("Stereo"));
    EXPECT_EQ(shown(bits(*dialog)), QStringLiteral("16-bit"));

    auto m4a = open(QStringLiteral("/out/take.m4a"), {.bitRateKbps = 200});
    EXPECT_EQ(shown(bitRate(*m4a)), QStringLiteral("200 kbit/s"));
}

TEST_F(OutputFormatGroupTest, OkStoresTheChoicesAsTheFormatHoldsThem)
{
    auto dialog = open(QStringLiteral("/out/take.wav"));
    choose(rate(*dialog), 22050);
    choose(bits(*dialog), 24);
    pathEdit(*dialog)->setText(QStringLiteral("/out/take.opus"));
    choose(bitRate(*dialog), 64);
    QTest::mouseClick(button(*dialog, QDialogButtonBox::Ok), Qt::LeftButton);
    ASSERT_EQ(dialog->result(), QDialog::Accepted);
    // Opus is always 48 kHz and has no bit depth.
    EXPECT_EQ(stored(), (AudioFormatRequest{.sampleRate = 48000, .bitRateKbps = 64}));

    // Untouched choices store "follow the sources", and for a compressed
    // format its default bit rate rather than the number the box shows:
    // a join of M4A or MP3 files then copies their frames.
    for (const char* path : {"/out/take.flac", "/out/take.m4a", "/out/book.m4b", "/out/take.mp3"}) {
        SCOPED_TRACE(path);
        QSettings(QString::fromLatin1(kCompanyName), application).clear();
        auto untouched = open(QString::fromUtf8(path));
        QTest::mouseClick(button(*untouched, QDialogButtonBox::Ok), Qt::LeftButton);
        EXPECT_EQ(stored(), AudioFormatRequest{});
        EXPECT_TRUE(storedKeys().contains(QStringLiteral("Format/SampleRate")));
    }
}

TEST_F(OutputFormatGroupTest, LoudnessIsChosenWithItsTargetAndStoredWithTheSettings)
{
    const auto loudness = [](OutputSettingsDialog& dialog) { return box(dialog, 1067); };
    const auto target = [](OutputSettingsDialog& dialog) { return box(dialog, 1068); };
    const int leave = static_cast<int>(LoudnessMode::Leave);
    const int track = static_cast<int>(LoudnessMode::Track);
    const int album = static_cast<int>(LoudnessMode::Album);
    const int tags = static_cast<int>(LoudnessMode::Tags);

    auto dialog = open(QStringLiteral("/out/take.flac"));
    EXPECT_EQ(values(loudness(*dialog)), (std::vector<int>{leave, track, album, tags}));
    EXPECT_EQ(shown(loudness(*dialog)), QStringLiteral("Leave as it is"));
    // Left as it is, there is no target to choose.
    EXPECT_FALSE(target(*dialog)->isEnabled());
    choose(loudness(*dialog), track);
    EXPECT_EQ(shown(loudness(*dialog)), QStringLiteral("Match each file"));
    EXPECT_EQ(shown(target(*dialog)), QStringLiteral("-16 LUFS"));
    choose(target(*dialog), -20);
    QTest::mouseClick(button(*dialog, QDialogButtonBox::Ok), Qt::LeftButton);
    ASSERT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(stored().loudness.mode, LoudnessMode::Track);
    EXPECT_EQ(stored().loudness.target, -20.0);

    // WAV and AIFF hold no loudness tags: "Tags only" is not offered there,
    // and a stored choice of it leaves the sound alone.
    AudioFormatRequest taggedRequest;
    taggedRequest.loudness.mode = LoudnessMode::Tags;
    taggedRequest.loudness.target = -18;
    auto tagged = open(QStringLiteral("/out/take.mp3"), taggedRequest);
    EXPECT_EQ(shown(loudness(*tagged)), QStringLiteral("Tags only"));
    EXPECT_EQ(shown(target(*tagged)), QStringLiteral("-18 LUFS"));
    pathEdit(*tagged)->setText(QStringLiteral("/out/take.wav"));
    EXPECT_EQ(values(loudness(*tagged)), (std::vector<int>{leave, track, album}));
    EXPECT_EQ(shown(loudness(*tagged)), QStringLiteral("Leave as it is"));
    pathEdit(*tagged)->setText(QStringLiteral("/out/take.m4a"));
    EXPECT_EQ(shown(loudness(*tagged)), QStringLiteral("Tags only"));
    choose(loudness(*tagged), album);
    QTest::mouseClick(button(*tagged, QDialogButtonBox::Ok), Qt::LeftButton);
    EXPECT_EQ(stored().loudness.mode, LoudnessMode::Album);
    EXPECT_EQ(stored().loudness.target, -18.0);
}

TEST_F(OutputFormatGroupTest, CancelStoresNoChoice)
{
    for (const bool viaCancel : {true, false}) {
        auto dialog = open(QStringLiteral("/out/take.flac"));
        choose(rate(*dialog), 96000);
        choose(channels(*dialog), 1);
        if (viaCancel)
            QTest::mouseClick(button(*dialog, QDialogButtonBox::Cancel), Qt::LeftButton);
        else
            dialog->close();
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
        EXPECT_TRUE(storedKeys().isEmpty()) << (viaCancel ? "cancel" : "close");
    }
}

struct SummaryCase {
    const char* name;
    std::vector<SourceFormat> sources;
    AudioFormatRequest request;
    const char* summary;
};

TEST_F(OutputFormatGroupTest, SummarySaysWhatAJoinOfTheListedFilesWrites)
{
    const std::vector<SourceFormat> monoMp3s{source(48000, 1), source(48000, 1), source(48000, 1)};
    const std::vector<SourceFormat> deepTakes{source(96000, 2, true), source(96000, 2, true)};
    const std::vector<SummaryCase> cases = {
        {"/out/book.mp3", monoMp3s, {}, "Writes 48,000 Hz mono, MP3 VBR quality 2."},
        {"/out/book.m4b", monoMp3s, {}, "Writes 48,000 Hz mono, M4B at 192 kbit/s."},
        {"/out/book.opus", monoMp3s, {}, "Writes 48,000 Hz mono, Opus at 128 kbit/s."},
        {"/out/book.flac", monoMp3s, {}, "Writes 48,000 Hz mono, 16-bit FLAC."},
        {"/out/takes.flac", deepTakes, {}, "Writes 96,000 Hz stereo, 24-bit FLAC."},
        {"/out/takes.mp3", deepTakes, {}, "Writes 48,000 Hz stereo, MP3 VBR quality 2."},
        {"/out/takes.aiff", deepTakes, {}, "Writes 96,000 Hz stereo, 24-bit AIFF."},
        // The larger share of the join decides the rate.
        {"/out/mixed.wav", {source(44100, 2, false, 10 * kSecond), source(48000, 1, false, 3 * kSecond)}, {},
         "Writes 44,100 Hz stereo, 16-bit WAV."},
        {"/out/takes.wav", deepTakes, {.sampleRate = 44100, .channels = 1, .bitsPerSample = 16},
         "Writes 44,100 Hz mono, 16-bit WAV."},
        {"/out/book.mp3", monoMp3s, {.bitRateKbps = 64}, "Writes 48,000 Hz mono, MP3 at 64 kbit/s."},
        {"/out/book.mp3", {}, {}, "Add files to see what a join writes."},
    };
    for (const SummaryCase& c : cases) {
        auto dialog = open(QString::fromUtf8(c.name), c.request, c.sources);
        EXPECT_EQ(summary(*dialog).toStdString(), c.summary) << c.name;
    }
}

TEST_F(OutputFormatGroupTest, SummaryFollowsTheChoicesAndTheNameAsTheyChange)
{
    auto dialog = open(QStringLiteral("/out/book.mp3"), {}, {source(48000, 1), source(48000, 1)});
    EXPECT_EQ(summary(*dialog), QStringLiteral("Writes 48,000 Hz mono, MP3 VBR quality 2."));
    choose(channels(*dialog), 2);
    EXPECT_EQ(summary(*dialog), QStringLiteral("Writes 48,000 Hz stereo, MP3 VBR quality 2."));
    choose(quality(*dialog), 5);
    EXPECT_EQ(summary(*dialog), QStringLiteral("Writes 48,000 Hz stereo, MP3 VBR quality 5."));
    pathEdit(*dialog)->setText(QStringLiteral("/out/book.flac"));
    EXPECT_EQ(summary(*dialog), QStringLiteral("Writes 48,000 Hz stereo, 16-bit FLAC."));
    // A name that cannot be written says so where the format would be.
    pathEdit(*dialog)->setText(QStringLiteral("/out/book.aac"));
    EXPECT_TRUE(summary(*dialog).contains(QStringLiteral(".aac"))) << summary(*dialog).toStdString();
}

} // namespace
} // namespace kestrine

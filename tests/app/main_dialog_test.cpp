// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/app/main_dialog_fixture.h"

#include "controls/skin_button.h"

#include <QGroupBox>
#include <QLabel>

namespace kestrine::testing {
namespace {

TEST_F(MainDialogTest, FirstStartShowsTheDefaultOutputInTheHomeFolder)
{
    const QString expected = QDir::toNativeSeparators(QDir::home().filePath(QStringLiteral("kestrine.wav")));
    EXPECT_EQ(dialog().outputPath(), expected);
    EXPECT_EQ(dialog().statusText(), QStringLiteral("Output File: ") + expected);
    EXPECT_EQ(dialog().windowTitle(), QStringLiteral("Kestrine"));
    EXPECT_EQ(dialog().outputWidth(), 352);
    EXPECT_EQ(dialog().outputHeight(), 240);
    EXPECT_FALSE(dialog().joining());
    EXPECT_EQ(view()->topLevelItemCount(), 0);
    EXPECT_EQ(view()->columnCount(), 2);
    // Reading the defaults stores nothing.
    EXPECT_TRUE(QSettings(QStringLiteral("Tallowmere"), application()).allKeys().isEmpty());
}

TEST_F(MainDialogTest, StoredOutputSettingsAreReadAtStart)
{
    settings.writeText("Settings", "OutputName", QStringLiteral("/tmp/Größe 声.wav"));
    settings.writeInt("Settings", "OutputWidth", 720);
    settings.writeInt("Settings", "OutputHigh", 576);
    EXPECT_EQ(dialog().statusText(), QStringLiteral("Output File: /tmp/Größe 声.wav"));
    EXPECT_EQ(dialog().outputWidth(), 720);
    EXPECT_EQ(dialog().outputHeight(), 576);
}

struct FrameRateCase {
    const char* name;
    int storedIndex;
    const char* storedText; // nullptr: none stored
    int index;
    double rate;
};

void PrintTo(const FrameRateCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class FrameRateIndexTest : public MainDialogTest, public ::testing::WithParamInterface<FrameRateCase> {};

TEST_P(FrameRateIndexTest, IndexSelectsTheFrameRate)
{
    const FrameRateCase& c = GetParam();
    settings.writeInt("Settings", "OutputFrameRateIndex", c.storedIndex);
    if (c.storedText != nullptr)
        settings.writeText("Settings", "OutputFrameRate", QString::fromUtf8(c.storedText));
    EXPECT_EQ(dialog().frameRateIndex(), c.index);
    EXPECT_DOUBLE_EQ(dialog().frameRate(), c.rate);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, FrameRateIndexTest,
    ::testing::Values(FrameRateCase{"Index0", 0, nullptr, 0, 23.976}, FrameRateCase{"Index1", 1, nullptr, 1, 24.0},
                      FrameRateCase{"Index2", 2, nullptr, 2, 25.0}, FrameRateCase{"Index3", 3, nullptr, 3, 29.97},
                      FrameRateCase{"Index4", 4, nullptr, 4, 30.0},
                      FrameRateCase{"Index5WithoutText", 5, nullptr, 5, 23.976},
                      FrameRateCase{"Index5ReadsText", 5, "29.5", 5, 29.5},
                      FrameRateCase{"Index3IgnoresText", 3, "29.5", 3, 29.97},
                      FrameRateCase{"Index5LeadingNumber", 5, "12.5fps", 5, 12.5},
                      FrameRateCase{"Index5NoNumber", 5, "fast", 5, 0.0},
                      FrameRateCase{"Index7FallsBackToZero", 7, nullptr, 0, 23.976},
                      FrameRateCase{"NegativeFallsBackToZero", -1, "29.5", 0, 23.976}),
    [](const ::testing::TestParamInfo<FrameRateCase>& testInfo) { return std::string(testInfo.param.name); });

struct ControlCase {
    int id;
    const char* caption;
    QRect units;
};

TEST_F(MainDialogTest, EveryControlHasItsIdCaptionAndPlace)
{
    const ControlCase buttons[] = {
        {control::kAdd, "Add", {9, 5, 46, 32}},          {control::kOptions, "Options", {59, 5, 46, 32}},
        {control::kJoin, "Join", {109, 5, 46, 32}},      {control::kHelp, "&Help", {160, 5, 46, 32}},
        {control::kExit, "Exit", {210, 5, 46, 32}},      {control::kMoveUp, "", {232, 44, 24, 16}},
        {control::kMoveDown, "", {232, 71, 24, 16}},     {control::kDeleteSelected, "", {232, 98, 24, 16}},
        {control::kDeleteAll, "", {232, 125, 24, 16}},   {control::kHomepage, "Homepage", {95, 149, 42, 16}},
        {control::kAbout, "About", {180, 149, 42, 16}},
    };
    const QFont font = dialog().font();
    for (const ControlCase& c : buttons) {
        QPushButton* target = button(c.id);
        ASSERT_NE(target, nullptr) << c.id;
        EXPECT_EQ(target->text(), QString::fromLatin1(c.caption)) << c.id;
        EXPECT_EQ(target->geometry(), dialogUnitsToPixels(c.units, font)) << c.id;
        EXPECT_FALSE(target->toolTip().isEmpty()) << c.id;
        auto* skin = qobject_cast<SkinButton*>(target);
        ASSERT_NE(skin, nullptr) << c.id;
        // Text buttons are the only ones without an icon.
        EXPECT_EQ(skin->hasIcon(), c.id != control::kHomepage && c.id != control::kAbout) << c.id;
        EXPECT_EQ(skin->imagePlacement(), SkinButton::kImageAbove) << c.id;
        EXPECT_TRUE(skin->hasHoverCursor()) << c.id;
    }
    EXPECT_FALSE(dialog().windowIcon().isNull());
    EXPECT_EQ(view()->geometry(), dialogUnitsToPixels({7, 44, 219, 99}, font));
    auto* status = dialog().findChild<QLabel*>(controlName(control::kStatusLine));
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(status->geometry(), dialogUnitsToPixels({7, 169, 251, 10}, font));
    EXPECT_EQ(status->frameShadow(), QFrame::Sunken);
    auto* frame = dialog().findChild<QGroupBox*>(controlName(control::kTopFrame));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->geometry(), dialogUnitsToPixels({7, 0, 251, 39}, font));
    EXPECT_EQ(dialog().size(), dialogUnitsToPixels({0, 0, 265, 186}, font).size());
    EXPECT_EQ(button(control::kJoin)->toolTip(), QStringLiteral("Join the files to wav (Ctrl+J)"));
}

TEST_F(MainDialogTest, TheJoinTipNamesTheFormatTheOutputIsWrittenIn)
{
    const std::pair<const char*, const char*> cases[] = {
        {"joined.wav", "wav"},   {"joined.mp3", "mp3"},   {"Joined.FLAC", "flac"}, {"talk.opus", "opus"},
        {"book.m4a", "m4a"},     {"joined", "wav"},       {"joined.ogg", "ogg"},   {"a.mp3.d/joined", "wav"},
        {"joined.AIFF", "aiff"}, {"joined.txt", "wav"},
    };
    for (const auto& [name, format] : cases) {
        dialog_.reset();
        settings.writeText("Settings", "OutputName", QDir(folder.path()).filePath(QString::fromUtf8(name)));
        EXPECT_EQ(button(control::kJoin)->toolTip(), QStringLiteral("Join the files to %1 (Ctrl+J)").arg(QString::fromUtf8(format)))
            << name;
    }
}

TEST_F(MainDialogTest, DialogUnitsScaleWithTheFontsCharacterCell)
{
    QFont font = dialog().font();
    for (int pointSize : {8, 12, 20}) {
        font.setPointSize(pointSize);
        const QFontMetrics metrics(font);
        const QRect cell = dialogUnitsToPixels({0, 0, 4, 8}, font);
        // Four horizontal units are one average character, eight vertical ones a line.
        EXPECT_NEAR(cell.width(), metrics.averageCharWidth(), 1 + metrics.averageCharWidth() / 4) << pointSize;
        EXPECT_EQ(cell.height(), metrics.height()) << pointSize;
        const QRect twice = dialogUnitsToPixels({4, 8, 8, 16}, font);
        EXPECT_EQ(twice.topLeft(), QPoint(cell.width(), cell.height()));
        EXPECT_EQ(twice.size(), 2 * cell.size());
    }
}

TEST_F(MainDialogTest, UnknownCommandHasNoHandler)
{
    EXPECT_FALSE(dialog().runCommand(4242));
    EXPECT_TRUE(dialog().runCommand(control::kDeleteAll));
}


TEST_F(MainDialogTest, ExitClosesWhenIdle)
{
    dialog();
    click(control::kExit);
    EXPECT_FALSE(dialog().isVisible());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(MainDialogTest, EnterOnTheListClosesAndEnterOnAButtonClicksIt)
{
    view()->setFocus();
    QTest::keyClick(view(), Qt::Key_Return);
    EXPECT_FALSE(dialog().isVisible());

    dialog().show();
    dialogs.openAnswers.push_back({});
    button(control::kAdd)->setFocus();
    QTest::keyClick(button(control::kAdd), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(dialog().isVisible());
    EXPECT_EQ(dialogs.openRequests.size(), 1);
}

TEST_F(MainDialogTest, EscapeClosesThroughTheSameRule)
{
    dialog();
    QTest::keyClick(&dialog(), Qt::Key_Escape);
    EXPECT_FALSE(dialog().isVisible());
}

TEST_F(MainDialogTest, ClosingIsRefusedWhileJoiningThenAllowed)
{
    addThroughDialog({{makeFile("a.mp3"), 3 * kSecond}});
    click(control::kJoin);
    ASSERT_TRUE(dialog().joining());

    EXPECT_FALSE(dialog().close());
    click(control::kExit);
    QTest::keyClick(view(), Qt::Key_Return);
    QTest::keyClick(&dialog(), Qt::Key_Escape);
    EXPECT_TRUE(dialog().isVisible());
    ASSERT_EQ(dialogs.messages.size(), 4);
    for (const MessageRequest& message : dialogs.messages) {
        EXPECT_EQ(message.text, QStringLiteral("Please first stop Convert"));
        EXPECT_EQ(message.caption, dialogs.applicationTitle());
    }
    EXPECT_TRUE(dialog().joining());

    click(control::kJoin); // Stop
    EXPECT_FALSE(dialog().joining());
    EXPECT_TRUE(dialog().close());
    EXPECT_FALSE(dialog().isVisible());
}

} // namespace
} // namespace kestrine::testing

namespace kestrine::testing {
namespace {

// The captions sit on the program's light tile, so a dark desktop theme's
// light text colour must not reach them.
TEST_F(MainDialogTest, TextsOnTheTileTurnLightWithItUnderADarkTheme)
{
    const QPalette original = QApplication::palette();
    QPalette dark = original;
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::ButtonText, Qt::white);
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::Base, Qt::black);
    QApplication::setPalette(dark);

    auto* status = dialog().findChild<QWidget*>(controlName(control::kStatusLine));
    const QPalette onTile = status->palette();
    const QPalette buttonPalette = button(control::kAdd)->palette();
    const QPalette listPalette = view()->palette();
    const QImage surface = dialog().grab().toImage();
    QApplication::setPalette(original);
    // The tile goes dark under a dark theme, and what is drawn on it light.
    EXPECT_LT(QColor(surface.pixel(1, 1)).lightness(), 80);
    EXPECT_GT(onTile.color(QPalette::WindowText).lightness(), 180);
    EXPECT_GT(buttonPalette.color(QPalette::ButtonText).lightness(), 180);
    // The list draws its own background, so it keeps the theme's text.
    EXPECT_GT(listPalette.color(QPalette::Text).lightness(), 160);
}

} // namespace
} // namespace kestrine::testing

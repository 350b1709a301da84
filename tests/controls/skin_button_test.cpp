// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "controls/resource_paths.h"
#include "controls/skin_button.h"
#include "controls/sound_player.h"

#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>

namespace kestrine {
namespace {

class CountingSoundPlayer : public SoundPlayer {
public:
    void play(const QString& path) override { played.append(path); }
    QStringList played;
};

// A window of one flat colour with one button on it, so that every pixel the
// button paints can be told from its background.
class SkinButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(200, 120);
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, kWindowColor);
        window.setPalette(palette);
        window.setAutoFillBackground(true);
        button = new SkinButton(&window);
        button->setGeometry(40, 20, 80, 60);
        button->setSoundPlayer(&sounds);
    }

    void showWindow()
    {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    QImage render() const { return button->grab().toImage().convertToFormat(QImage::Format_RGB32); }

    // The smallest rectangle holding every pixel inside the border that is
    // not the window's colour.
    static QRect paintedArea(const QImage& image)
    {
        QRect area;
        for (int y = 2; y < image.height() - 2; ++y) {
            for (int x = 2; x < image.width() - 2; ++x) {
                if (QColor(image.pixel(x, y)) != kWindowColor)
                    area |= QRect(x, y, 1, 1);
            }
        }
        return area;
    }

    static inline const QColor kWindowColor{250, 240, 200};
    QWidget window;
    SkinButton* button = nullptr;
    CountingSoundPlayer sounds;
};

struct StatusCase {
    const char* name;
    std::function<int(SkinButton&)> call;
    int expected;
};

TEST_F(SkinButtonTest, SetUpCallsAnswerTheirStatus)
{
    const std::vector<StatusCase> cases = {
        {"known icon", [](SkinButton& b) { return b.AssignIconResources(kAddIconId); }, 0},
        {"unknown icon", [](SkinButton& b) { return b.AssignIconResources(999); }, 1},
        {"no icon", [](SkinButton& b) { return b.AssignIconResources(0); }, 0},
        {"hover sound", [](SkinButton& b) { return b.SetStateSound(kHoverSoundId, false, true); }, 0},
        {"parent background", [](SkinButton& b) { return b.UseParentBackground(false); }, 0},
        {"known cursor", [](SkinButton& b) { return b.SetHoverCursor(kHoverCursorId, true); }, 0},
        {"unknown cursor", [](SkinButton& b) { return b.SetHoverCursor(7, true); }, 1},
        {"no cursor", [](SkinButton& b) { return b.SetHoverCursor(0, false); }, 0},
        {"tip", [](SkinButton& b) { return b.SetTipText(QStringLiteral("Add"), true); }, 0},
        {"placement 0", [](SkinButton& b) { return b.SetImagePlacement(0, false); }, 0},
        {"placement 3", [](SkinButton& b) { return b.SetImagePlacement(3, true); }, 0},
        {"placement 4", [](SkinButton& b) { return b.SetImagePlacement(4, true); }, 4},
        {"placement -1", [](SkinButton& b) { return b.SetImagePlacement(-1, true); }, 4},
    };
    for (const StatusCase& c : cases) {
        SkinButton fresh;
        EXPECT_EQ(c.call(fresh), c.expected) << c.name;
    }
}

TEST_F(SkinButtonTest, FailedLoadsLeaveNothingBehind)
{
    ASSERT_EQ(button->AssignIconResources(kJoinIconId), 0);
    ASSERT_EQ(button->SetHoverCursor(kHoverCursorId, false), 0);
    EXPECT_TRUE(button->hasIcon());
    EXPECT_TRUE(button->hasHoverCursor());
    EXPECT_EQ(button->cursor().shape(), Qt::BitmapCursor);

    EXPECT_EQ(button->AssignIconResources(12345), 1);
    EXPECT_EQ(button->SetHoverCursor(12345, false), 1);
    EXPECT_FALSE(button->hasIcon());
    EXPECT_FALSE(button->hasHoverCursor());
    EXPECT_EQ(button->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(SkinButtonTest, BadPlacementKeepsThePreviousOne)
{
    button->SetImagePlacement(SkinButton::kImageAbove, false);
    button->SetImagePlacement(4, false);
    EXPECT_EQ(button->imagePlacement(), SkinButton::kImageAbove);
}

TEST_F(SkinButtonTest, EveryButtonIconLoadsAtItsOwnSize)
{
    const std::vector<std::pair<int, int>> iconSides = {
        {kAddIconId, 32},     {kOptionsIconId, 32},  {kJoinIconId, 32},   {kHelpIconId, 32},
        {kExitIconId, 32},    {kMoveUpIconId, 16},   {kMoveDownIconId, 16},
        {kDeleteIconId, 16},  {kDeleteAllIconId, 16}, {kAppIconId, 64},
    };
    for (const auto& [id, side] : iconSides) {
        EXPECT_EQ(button->AssignIconResources(id), 0) << id;
        EXPECT_EQ(button->iconPixelSize(), QSize(side, side)) << id;
    }
}

TEST_F(SkinButtonTest, IconSitsAboveTheCaptionOrInTheMiddleWithout)
{
    button->AssignIconResources(kAddIconId);
    button->SetImagePlacement(SkinButton::kImageAbove, false);

    // 80 x 60 with a 32 x 32 icon: (80 - 32) / 2 across; without a caption
    // (60 - 32) / 2 down, with one the top margin.
    EXPECT_EQ(button->iconRect(), QRect(24, 14, 32, 32));
    button->setText(QStringLiteral("Add"));
    EXPECT_EQ(button->iconRect(), QRect(24, 3, 32, 32));
    button->setDown(true);
    EXPECT_EQ(button->iconRect(), QRect(25, 4, 32, 32));
}

TEST_F(SkinButtonTest, PressingMovesIconAndCaptionOnePixelRightAndDown)
{
    showWindow();
    for (const bool withCaption : {false, true}) {
        button->AssignIconResources(kAddIconId);
        button->SetImagePlacement(SkinButton::kImageAbove, false);
        button->setText(withCaption ? QStringLiteral("Add") : QString());
        button->UseParentBackground(false);
        button->setDown(false);
        const QRect up = paintedArea(render());
        button->setDown(true);
        const QRect down = paintedArea(render());
        ASSERT_FALSE(up.isEmpty());
        EXPECT_EQ(down, up.translated(1, 1)) << "caption " << withCaption;
    }
}

TEST_F(SkinButtonTest, CaptionAloneIsCentred)
{
    showWindow();
    button->setText(QStringLiteral("Homepage"));
    button->UseParentBackground(false);
    const QRect area = paintedArea(render());
    ASSERT_FALSE(area.isEmpty());
    // Glyph edges differ by a pixel or so between the two sides.
    EXPECT_NEAR(area.left(), button->width() - 1 - area.right(), 2);
    EXPECT_NEAR(area.top(), button->height() - 1 - area.bottom(), 3);
}

TEST_F(SkinButtonTest, BorderIsRaisedWhileHoveredAndSunkenWhilePressed)
{
    showWindow();
    button->UseParentBackground(false);
    const QColor light = button->palette().color(QPalette::Light);
    const QColor dark = button->palette().color(QPalette::Dark);
    ASSERT_NE(light, dark);
    const QPoint topLeft(0, 10);
    const QPoint bottomRight(button->width() - 1, 10);

    QImage idle = render();
    EXPECT_EQ(QColor(idle.pixel(topLeft)), kWindowColor);
    EXPECT_EQ(QColor(idle.pixel(bottomRight)), kWindowColor);

    QEnterEvent enter(QPointF(5, 5), QPointF(45, 25), QPointF(45, 25));
    QApplication::sendEvent(button, &enter);
    ASSERT_TRUE(button->isHovering());
    QImage hovered = render();
    EXPECT_EQ(hovered.pixel(topLeft), light.rgb());
    EXPECT_EQ(hovered.pixel(bottomRight), dark.rgb());

    button->setDown(true);
    QImage pressed = render();
    EXPECT_EQ(pressed.pixel(topLeft), dark.rgb());
    EXPECT_EQ(pressed.pixel(bottomRight), light.rgb());
}

TEST_F(SkinButtonTest, ParentPixelsShowThroughAndFollowAPaletteChange)
{
    showWindow();
    button->UseParentBackground(true);
    QImage first = render();
    EXPECT_EQ(QColor(first.pixel(5, 5)), kWindowColor);

    const QColor changed(20, 90, 160);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, changed);
    window.setPalette(palette);
    QImage second = render();
    EXPECT_EQ(QColor(second.pixel(5, 5)), changed);
}

TEST_F(SkinButtonTest, ParentPixelsAreTakenFromWhereTheButtonSits)
{
    // A parent whose left and right halves differ: the button must show the
    // half it sits on, again after it was moved.
    class HalvesWidget : public QWidget {
    protected:
        void paintEvent(QPaintEvent*) override
        {
            QPainter painter(this);
            painter.fillRect(0, 0, width() / 2, height(), Qt::red);
            painter.fillRect(width() / 2, 0, width() - width() / 2, height(), Qt::blue);
        }
    };
    HalvesWidget parent;
    parent.resize(200, 100);
    SkinButton child(&parent);
    child.setGeometry(10, 10, 40, 30);
    child.UseParentBackground(false);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));

    EXPECT_EQ(QColor(child.grab().toImage().pixel(20, 15)), QColor(Qt::red));
    child.move(150, 10);
    EXPECT_EQ(QColor(child.grab().toImage().pixel(20, 15)), QColor(Qt::blue));
}

TEST_F(SkinButtonTest, SiblingsBelowTheButtonShowThroughAndThoseAboveDoNot)
{
    auto makePatch = [this](const QColor& color) {
        auto* patch = new QWidget(&window);
        QPalette palette = patch->palette();
        palette.setColor(QPalette::Window, color);
        patch->setPalette(palette);
        patch->setAutoFillBackground(true);
        return patch;
    };
    QWidget* below = makePatch(Qt::green);
    below->setGeometry(30, 10, 30, 30); // covers the button's top-left corner
    below->stackUnder(button);
    QWidget* above = makePatch(Qt::blue);
    above->setGeometry(100, 60, 40, 40); // covers its bottom-right corner
    above->raise();
    button->UseParentBackground(false);
    showWindow();

    const QImage image = render();
    EXPECT_EQ(QColor(image.pixel(5, 5)), QColor(Qt::green));
    EXPECT_EQ(QColor(image.pixel(70, 50)), kWindowColor);
}

TEST_F(SkinButtonTest, DisabledButtonGreysItsIcon)
{
    showWindow();
    button->AssignIconResources(kAddIconId);
    button->SetImagePlacement(SkinButton::kImageAbove, false);
    const QImage enabled = render();
    button->setEnabled(false);
    const QImage disabled = render();
    const QPoint middle = button->iconRect().center();
    const QColor before(enabled.pixel(middle + QPoint(-6, -6)));
    const QColor after(disabled.pixel(middle + QPoint(-6, -6)));
    EXPECT_GT(before.hsvSaturation(), 100);
    EXPECT_LT(after.hsvSaturation(), before.hsvSaturation());
}

TEST_F(SkinButtonTest, DisabledCaptionIsEmbossed)
{
    showWindow();
    button->setText(QStringLiteral("Join"));
    const QColor light = button->palette().color(QPalette::Disabled, QPalette::Light);
    const QColor dark = button->palette().color(QPalette::Disabled, QPalette::Dark);
    auto countNear = [](const QImage& image, const QColor& color) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QColor pixel(image.pixel(x, y));
                if (std::abs(pixel.red() - color.red()) + std::abs(pixel.green() - color.green())
                        + std::abs(pixel.blue() - color.blue())
                    < 12)
                    ++count;
            }
        }
        return count;
    };
    const QImage enabled = render();
    EXPECT_EQ(countNear(enabled, light), 0);
    button->setEnabled(false);
    const QImage disabled = render();
    EXPECT_GT(countNear(disabled, light), 3);
    EXPECT_GT(countNear(disabled, dark), 3);
}

TEST_F(SkinButtonTest, HoverSoundPlaysOncePerEntry)
{
    button->SetStateSound(kHoverSoundId, false, true);
    showWindow();

    QTest::mouseMove(&window, QPoint(5, 5));
    QTest::mouseMove(button, QPoint(10, 10));
    QTest::mouseMove(button, QPoint(20, 30));
    QTest::mouseMove(button, QPoint(60, 40));
    EXPECT_TRUE(button->isHovering());
    ASSERT_EQ(sounds.played.size(), 1);
    EXPECT_EQ(sounds.played.front(), soundResourcePath(kHoverSoundId));

    QTest::mouseMove(&window, QPoint(5, 5));
    EXPECT_FALSE(button->isHovering());
    QTest::mouseMove(button, QPoint(10, 10));
    EXPECT_EQ(sounds.played.size(), 2);
}

TEST_F(SkinButtonTest, MoveWithButtonHeldDoesNotStartAHover)
{
    button->SetStateSound(kHoverSoundId, false, true);
    QMouseEvent drag(QEvent::MouseMove, QPointF(10, 10), QPointF(50, 30), QPointF(50, 30),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(button, &drag);
    EXPECT_FALSE(button->isHovering());
    EXPECT_TRUE(sounds.played.isEmpty());
}

TEST_F(SkinButtonTest, HoverEndsWhenTheButtonLosesFocus)
{
    showWindow();
    button->setFocus();
    QEnterEvent enter(QPointF(5, 5), QPointF(45, 25), QPointF(45, 25));
    QApplication::sendEvent(button, &enter);
    ASSERT_TRUE(button->isHovering());
    QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(button, &focusOut);
    EXPECT_FALSE(button->isHovering());
}

TEST_F(SkinButtonTest, NoSoundWithoutASoundSet)
{
    showWindow();
    QTest::mouseMove(button, QPoint(10, 10));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(sounds.played.isEmpty());
}

TEST_F(SkinButtonTest, ClickTakesFocusAndPlaysTheClickSound)
{
    showWindow();
    button->SetStateSound(kHoverSoundId, true, true);
    QSignalSpy clicks(button, &QAbstractButton::clicked);
    button->click();
    EXPECT_EQ(clicks.size(), 1);
    EXPECT_TRUE(button->hasFocus());
    EXPECT_EQ(sounds.played, QStringList{soundResourcePath(kHoverSoundId)});
}

TEST_F(SkinButtonTest, DoubleClickGivesTwoClicks)
{
    showWindow();
    QSignalSpy clicks(button, &QAbstractButton::clicked);
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mouseRelease(button, Qt::LeftButton);
    QTest::mouseDClick(button, Qt::LeftButton);
    QTest::mouseRelease(button, Qt::LeftButton);
    EXPECT_EQ(clicks.size(), 2);
}

TEST_F(SkinButtonTest, DefaultButtonAnswersTheDefaultCode)
{
    EXPECT_EQ(button->dialogCode(), SkinButton::kUndefinedPushButtonCode);
    button->setDefault(true);
    EXPECT_EQ(button->dialogCode(), SkinButton::kDefaultPushButtonCode);
    button->setDefault(false);
    EXPECT_EQ(button->dialogCode(), SkinButton::kUndefinedPushButtonCode);
}

TEST_F(SkinButtonTest, TipTextFollowsActivation)
{
    button->SetTipText(QStringLiteral("Join the files to wav"), true);
    EXPECT_EQ(button->toolTip(), QStringLiteral("Join the files to wav"));
    button->SetTipText(QStringLiteral("Join the files to wav"), false);
    EXPECT_TRUE(button->toolTip().isEmpty());
    EXPECT_EQ(button->tipText(), QStringLiteral("Join the files to wav"));
    button->SetTipText(QString(), true);
    EXPECT_EQ(button->tipText(), QStringLiteral("Join the files to wav"));
    EXPECT_FALSE(button->isTipActive());
}

} // namespace
} // namespace kestrine

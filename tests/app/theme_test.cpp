// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "controls/resource_paths.h"
#include "controls/skin_button.h"
#include "tests/app/main_dialog_fixture.h"
#include "tests/app/theme_palettes.h"

#include <QEnterEvent>
#include <QHeaderView>
#include <QLabel>

namespace kestrine::testing {
namespace {

struct ThemeCase {
    friend void PrintTo(const ThemeCase& tested, std::ostream* out) { *out << tested.name; }
    const char* name;
    QPalette (*palette)();
    bool active;
    bool dark;
};

const ThemeCase kThemes[] = {
    {"LightActive", lightThemePalette, true, false},
    {"LightInactive", lightThemePalette, false, false},
    {"DarkActive", darkThemePalette, true, true},
    {"DarkInactive", darkThemePalette, false, true},
};

QImage programTile()
{
    return QPixmap(bitmapResourcePath(kBackgroundTileId)).toImage();
}

// The window as it is drawn under its controls: nothing but its surface.
QImage surfaceOf(QWidget& window)
{
    const QList<QWidget*> children = window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    QList<QWidget*> hidden;
    for (QWidget* child : children) {
        if (child->isVisible()) {
            child->hide();
            hidden.append(child);
        }
    }
    const QImage surface = window.grab().toImage();
    for (QWidget* child : hidden)
        child->show();
    return surface;
}

double meanLightness(const QImage& image)
{
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += QColor(image.pixel(x, y)).lightness();
    return sum / (image.width() * image.height());
}

// The light palette's surface is the program's tile, pixel for pixel; the
// dark one is darker by far, with the tile's pattern where the tile has it.
void expectSurfaceFor(bool dark, const QImage& surface)
{
    const QImage tile = programTile();
    ASSERT_FALSE(tile.isNull());
    if (!dark) {
        for (int y = 0; y < surface.height(); ++y)
            for (int x = 0; x < surface.width(); ++x)
                ASSERT_EQ(surface.pixel(x, y), tile.pixel(x % tile.width(), y % tile.height())) << x << "," << y;
        return;
    }
    EXPECT_LT(meanLightness(surface), 90.0);
    EXPECT_GT(meanLightness(tile), 200.0);
    const QColor plain(surface.pixel(0, 0));
    ASSERT_EQ(QColor(tile.pixel(12, 12)) == QColor(tile.pixel(0, 0)), false);
    // The tile's dots are where they were, set apart from the plain ground.
    for (const QPoint dot : {QPoint(12, 12), QPoint(36, 36), QPoint(36, 12), QPoint(12, 36)})
        EXPECT_NE(QColor(surface.pixel(dot)), plain) << dot.x() << "," << dot.y();
}

class ThemeTest : public MainDialogTest, public ::testing::WithParamInterface<ThemeCase> {
protected:
    void SetUp() override
    {
        MainDialogTest::SetUp();
        palette = std::make_unique<ScopedPalette>(GetParam().palette());
    }
    void TearDown() override
    {
        other.reset();
        dialog_.reset();
        palette.reset();
    }
    // Gives the dialog the focus, or takes it away to another window.
    void setActive(bool active)
    {
        if (active) {
            dialog().activateWindow();
            ASSERT_TRUE(QTest::qWaitFor([this] { return dialog().isActiveWindow(); }));
            return;
        }
        other = std::make_unique<QWidget>();
        other->show();
        other->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !dialog().isActiveWindow(); }));
    }

    std::unique_ptr<ScopedPalette> palette;
    std::unique_ptr<QWidget> other;
};

TEST_P(ThemeTest, SelectedRowsStandOutFromTheOthers)
{
    addNamed({"A", "B", "C"});
    view()->selectRows({1});
    ASSERT_NO_FATAL_FAILURE(setActive(GetParam().active));

    // In an active window the list draws its selection in the active colours
    // while it has the focus, and in the inactive ones once a button took it,
    // as after every click on the arrow buttons.
    QList<QWidget*> focusOwners = {view()};
    if (GetParam().active)
        focusOwners.append(button(control::kMoveDown));
    for (QWidget* owner : focusOwners) {
        owner->setFocus();
        const QImage image = view()->viewport()->grab().toImage();
        // Beside the centred text, where only the row's background shows.
        const auto rowColour = [&](int row) {
            const QRect rect = view()->visualItemRect(view()->topLevelItem(row));
            return QColor(image.pixel(rect.left() + 4, rect.center().y()));
        };
        // Row 0 is the current row, which a focused list marks on its own.
        EXPECT_GE(colourDistance(rowColour(1), rowColour(2)), 90)
            << rowColour(1).name().toStdString() << " on " << rowColour(2).name().toStdString() << ", focus on "
            << owner->objectName().toStdString();
    }
}

TEST_P(ThemeTest, TextsStayReadableAndTheTileShowsThroughTheButtons)
{
    addNamed({"A"});
    ASSERT_NO_FATAL_FAILURE(setActive(GetParam().active));
    const QImage image = dialog().grab().toImage();
    const QImage tile = QPixmap(bitmapResourcePath(kBackgroundTileId)).toImage();
    ASSERT_FALSE(tile.isNull());
    const auto tileAt = [&tile](QPoint point) { return QColor(tile.pixel(point.x() % tile.width(), point.y() % tile.height())); };

    // What lies under the buttons: the same window with the buttons hidden.
    const QList<SkinButton*> skins = dialog().findChildren<SkinButton*>();
    for (SkinButton* skin : skins)
        skin->hide();
    const QImage under = dialog().grab().toImage();
    for (SkinButton* skin : skins)
        skin->show();
    for (const int id : {control::kAdd, control::kOptions, control::kExit, control::kMoveUp, control::kAbout}) {
        const QRect place = button(id)->geometry();
        // The corners of a button show the tile, and the frame, exactly as
        // they lie there.
        for (const QPoint corner : {place.topLeft() + QPoint(2, 2), place.bottomRight() - QPoint(2, 2)})
            EXPECT_EQ(QColor(image.pixel(corner)), QColor(under.pixel(corner))) << id;
    }
    const QPoint outside = button(control::kAbout)->geometry().topLeft() + QPoint(2, 2);
    if (!GetParam().dark) {
        EXPECT_EQ(QColor(under.pixel(outside)), tileAt(outside));
    }
    // Texts are measured against the surface drawn under them.
    const auto backgroundAt = [&under](QPoint point) { return QColor(under.pixel(point)); };
    for (const int id : {control::kAdd, control::kExit, control::kAbout}) {
        auto* skin = qobject_cast<SkinButton*>(button(id));
        QRect caption = skin->geometry();
        if (skin->hasIcon())
            caption.setTop(caption.top() + skin->iconRect().bottom() + 1);
        EXPECT_GE(strongestContrast(image, caption, backgroundAt(caption.topLeft())), 120) << id;
    }

    auto* status = dialog().findChild<QWidget*>(controlName(control::kStatusLine));
    const QRect statusText = status->geometry().adjusted(3, 3, -3, -3);
    EXPECT_GE(strongestContrast(image, statusText, backgroundAt(statusText.topLeft())), 120);

    // The header is drawn in the theme's own colours, with its own text colour.
    const QImage header = view()->header()->grab().toImage();
    const QRect headerText = header.rect().adjusted(2, 2, -2, -2);
    EXPECT_GE(strongestContrast(header, headerText, QColor(header.pixel(3, header.height() / 2))), 120);
    const QImage rows = view()->viewport()->grab().toImage();
    const QRect firstRow = view()->visualItemRect(view()->topLevelItem(0));
    EXPECT_GE(strongestContrast(rows, firstRow, QColor(rows.pixel(firstRow.left() + 4, firstRow.center().y()))), 120);
}

TEST_P(ThemeTest, TheSurfaceFollowsThePalettesLightness)
{
    dialog();
    ASSERT_NO_FATAL_FAILURE(setActive(GetParam().active));
    expectSurfaceFor(GetParam().dark, surfaceOf(dialog()));
    // The captions and the status line are drawn in the opposite lightness.
    for (QWidget* onTile : {static_cast<QWidget*>(button(control::kAdd)),
                            dialog().findChild<QWidget*>(controlName(control::kStatusLine))}) {
        const QColor ink = onTile->palette().color(QPalette::WindowText);
        const QColor buttonInk = onTile->palette().color(QPalette::ButtonText);
        for (const QColor& colour : {ink, buttonInk}) {
            if (GetParam().dark) {
                EXPECT_GT(colour.lightness(), 180) << onTile->objectName().toStdString();
            } else {
                EXPECT_LT(colour.lightness(), 80) << onTile->objectName().toStdString();
            }
        }
    }
}

TEST_P(ThemeTest, HoverBorderIsLitAboveAndShadedBelowOnTheTile)
{
    const QColor ground(surfaceOf(dialog()).pixel(0, 0));
    auto* add = qobject_cast<SkinButton*>(button(control::kAdd));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(add, &enter);
    ASSERT_TRUE(add->isHovering());
    const QImage image = add->grab().toImage();
    const QColor top(image.pixel(image.width() / 2, 0));
    const QColor bottom(image.pixel(image.width() / 2, image.height() - 1));
    if (GetParam().dark) {
        EXPECT_GT(top.lightness(), ground.lightness() + 40) << top.name().toStdString();
    } else {
        EXPECT_GT(top.lightness(), 220) << top.name().toStdString();
    }
    EXPECT_LT(bottom.lightness(), top.lightness() - 80) << bottom.name().toStdString();
    EXPECT_LT(bottom.lightness(), ground.lightness()) << bottom.name().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Themes, ThemeTest, ::testing::ValuesIn(kThemes),
                         [](const ::testing::TestParamInfo<ThemeCase>& param) { return std::string(param.param.name); });

// A desktop that switches between light and dark while the window is open.
TEST_F(MainDialogTest, TheSurfaceFollowsAPaletteChangeWhileOpen)
{
    ScopedPalette original(lightThemePalette());
    const auto switchTo = [this](const QPalette& palette) {
        QApplication::setPalette(palette);
        // What the running application's event loop tells every widget; a
        // test without the loop says it itself.
        QEvent change(QEvent::ApplicationPaletteChange);
        QApplication::sendEvent(&dialog(), &change);
    };
    dialog();
    ASSERT_NO_FATAL_FAILURE(expectSurfaceFor(false, surfaceOf(dialog())));
    switchTo(darkThemePalette());
    ASSERT_NO_FATAL_FAILURE(expectSurfaceFor(true, surfaceOf(dialog())));
    EXPECT_GT(button(control::kAdd)->palette().color(QPalette::ButtonText).lightness(), 180);
    switchTo(lightThemePalette());
    expectSurfaceFor(false, surfaceOf(dialog()));
    EXPECT_LT(button(control::kAdd)->palette().color(QPalette::ButtonText).lightness(), 80);
}

TEST_F(MainDialogTest, FocusMarkAppearsOnceTheKeyboardIsUsed)
{
    auto* add = button(control::kAdd);
    auto* options = button(control::kOptions);
    dialog().activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([this] { return dialog().isActiveWindow(); }));
    const QImage addAlone = add->grab().toImage();
    const QImage optionsAlone = options->grab().toImage();

    dialogs.openAnswers.push_back({});
    QTest::mouseClick(add, Qt::LeftButton);
    ASSERT_TRUE(add->hasFocus());
    EXPECT_EQ(add->grab().toImage(), addAlone) << "a mouse click shows no focus mark";

    QTest::keyClick(add, Qt::Key_Tab);
    ASSERT_TRUE(options->hasFocus());
    const QImage optionsFocused = options->grab().toImage();
    EXPECT_NE(optionsFocused, optionsAlone);
    // The mark sits inside the edge, where the tile showed before.
    int changed = 0;
    for (int x = 0; x < optionsFocused.width(); ++x)
        changed += optionsFocused.pixel(x, 2) != optionsAlone.pixel(x, 2) ? 1 : 0;
    EXPECT_GT(changed, optionsFocused.width() / 3);

    // From now on the mouse's focus shows the mark too.
    dialogs.openAnswers.push_back({});
    QTest::mouseClick(add, Qt::LeftButton);
    EXPECT_NE(add->grab().toImage(), addAlone);
}

struct CloseKeyCase {
    const char* name;
    Qt::Key key;
    bool onList;
};

void PrintTo(const CloseKeyCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class CloseKeyTest : public MainDialogTest, public ::testing::WithParamInterface<CloseKeyCase> {
protected:
    void press()
    {
        if (GetParam().onList) {
            view()->setFocus();
            QTest::keyClick(view(), GetParam().key);
        } else {
            QTest::keyClick(&dialog(), GetParam().key);
        }
    }
};

TEST_P(CloseKeyTest, AFilledListIsOnlyThrownAwayAfterAsking)
{
    addNamed({"A", "B", "C"});
    dialogs.yesNoAnswers.push_back(MessageAnswer::No);
    press();
    EXPECT_TRUE(dialog().isVisible());
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages.front().text, QStringLiteral("Close Kestrine? The list of 3 files will be lost."));
    EXPECT_EQ(dialogs.messages.front().buttons, MessageButtons::YesNo);
    EXPECT_EQ(dialogs.messages.front().defaultAnswer, MessageAnswer::No);
    EXPECT_EQ(dialogs.messages.front().caption, dialogs.applicationTitle());
    EXPECT_EQ(dialog().clipList().count(), 3);

    dialogs.yesNoAnswers.push_back(MessageAnswer::Yes);
    press();
    EXPECT_FALSE(dialog().isVisible());
}

TEST_P(CloseKeyTest, AnEmptyListClosesWithoutAQuestion)
{
    dialog();
    press();
    EXPECT_FALSE(dialog().isVisible());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

const CloseKeyCase kCloseKeys[] = {
    {"ReturnOnTheList", Qt::Key_Return, true},
    {"EnterOnTheList", Qt::Key_Enter, true},
    {"Escape", Qt::Key_Escape, false},
    {"EscapeOnTheList", Qt::Key_Escape, true},
};
INSTANTIATE_TEST_SUITE_P(Keys, CloseKeyTest, ::testing::ValuesIn(kCloseKeys),
                         [](const ::testing::TestParamInfo<CloseKeyCase>& param) { return std::string(param.param.name); });

TEST_F(MainDialogTest, TheCloseBoxAndExitCloseAFilledListWithoutAsking)
{
    addNamed({"A"});
    click(control::kExit);
    EXPECT_FALSE(dialog().isVisible());
    dialog().show();
    EXPECT_TRUE(dialog().close());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

} // namespace
} // namespace kestrine::testing

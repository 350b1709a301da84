// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/status_line.h"
#include "tests/app/main_dialog_fixture.h"

namespace kestrine::testing {
namespace {

class WindowLayoutTest : public MainDialogTest {
protected:
    QWidget* control(int id) { return dialog().findChild<QWidget*>(controlName(id)); }
    StatusLine* statusLine() { return dialog().findChild<StatusLine*>(controlName(control::kStatusLine)); }
    QSize startSize() { return dialogUnitsToPixels({0, 0, 265, 186}, dialog().font()).size(); }
};

TEST_F(WindowLayoutTest, GrowingGivesTheRoomToTheListAndMovesTheRest)
{
    const QSize start = startSize();
    ASSERT_EQ(dialog().size(), start);
    const int ids[] = {control::kAdd, control::kExit, control::kTopFrame, control::kClipList, control::kMoveUp,
                       control::kDeleteAll, control::kHomepage, control::kAbout, control::kStatusLine};
    QHash<int, QRect> before;
    for (const int id : ids)
        before.insert(id, control(id)->geometry());

    dialog().resize(start + QSize(300, 200));
    QHash<int, QRect> after;
    for (const int id : ids)
        after.insert(id, control(id)->geometry());

    EXPECT_EQ(after[control::kAdd], before[control::kAdd]);
    EXPECT_EQ(after[control::kExit], before[control::kExit].translated(300, 0));
    EXPECT_EQ(after[control::kTopFrame], before[control::kTopFrame].adjusted(0, 0, 300, 0));
    EXPECT_EQ(after[control::kClipList], before[control::kClipList].adjusted(0, 0, 300, 200));
    // The column buttons keep their gap to the list's right edge.
    for (const int id : {control::kMoveUp, control::kDeleteAll})
        EXPECT_EQ(after[id], before[id].translated(300, 0)) << id;
    for (const int id : {control::kHomepage, control::kAbout})
        EXPECT_EQ(after[id], before[id].translated(150, 200)) << id;
    EXPECT_EQ(after[control::kStatusLine], before[control::kStatusLine].adjusted(0, 200, 300, 200));
    EXPECT_EQ(dialog().height() - after[control::kStatusLine].bottom(),
              start.height() - before[control::kStatusLine].bottom());

    // Back to the start size, everything is where it began.
    dialog().resize(start);
    for (const int id : ids)
        EXPECT_EQ(control(id)->geometry(), before[id]) << id;
}

TEST_F(WindowLayoutTest, TheWindowNeverGetsSmallerThanItsStartSize)
{
    const QSize start = startSize();
    EXPECT_EQ(dialog().minimumSize(), start);
    dialog().resize(start - QSize(100, 50));
    EXPECT_EQ(dialog().size(), start);
}

struct StoredSizeCase {
    const char* name;
    QSize stored; // relative to the start size
    QSize expected;
};

void PrintTo(const StoredSizeCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class StoredSizeTest : public WindowLayoutTest, public ::testing::WithParamInterface<StoredSizeCase> {};

TEST_P(StoredSizeTest, TheSizeIsRememberedAndNeverBelowTheStartSize)
{
    const QSize start = dialogUnitsToPixels({0, 0, 265, 186}, QApplication::font()).size();
    {
        MainDialog first(framework, dialogs, shell, settings, encoders);
        first.show();
        first.resize(start + GetParam().stored);
        ASSERT_TRUE(first.close());
    }
    EXPECT_EQ(settings.readInt(QStringLiteral("Window"), QStringLiteral("Width"), 0),
              (start + GetParam().stored).width());
    EXPECT_EQ(settings.readInt(QStringLiteral("Window"), QStringLiteral("Height"), 0),
              (start + GetParam().stored).height());
    EXPECT_EQ(dialog().size(), start + GetParam().expected);
}

const StoredSizeCase kStoredSizes[] = {
    {"Larger", {240, 130}, {240, 130}},
    {"Unchanged", {0, 0}, {0, 0}},
};
INSTANTIATE_TEST_SUITE_P(Sizes, StoredSizeTest, ::testing::ValuesIn(kStoredSizes),
                         [](const ::testing::TestParamInfo<StoredSizeCase>& param) { return std::string(param.param.name); });

TEST_F(WindowLayoutTest, AStoredSizeBelowTheStartSizeOpensAtTheStartSize)
{
    settings.writeInt(QStringLiteral("Window"), QStringLiteral("Width"), 120);
    settings.writeInt(QStringLiteral("Window"), QStringLiteral("Height"), 9000);
    EXPECT_EQ(dialog().width(), startSize().width());
    EXPECT_EQ(dialog().height(), 9000);
}

TEST_F(WindowLayoutTest, ALongPathLosesItsMiddleButKeepsTheFileName)
{
    const QString deep = QStringLiteral("/home/someone/") + QStringLiteral("very long folder name/").repeated(12)
                         + QStringLiteral("joined.wav");
    settings.writeText("Settings", "OutputName", deep);
    StatusLine* line = statusLine();
    ASSERT_NE(line, nullptr);
    const QString full = QStringLiteral("Output File: ") + deep;
    EXPECT_EQ(dialog().statusText(), full);
    const QString shown = line->displayedText();
    EXPECT_NE(shown, full);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Output File: /h"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("/joined.wav"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026)));
    EXPECT_LE(line->fontMetrics().horizontalAdvance(shown), line->contentsRect().width());
    EXPECT_TRUE(line->toolTip().startsWith(full));

    // With room enough the whole text shows.
    dialog().resize(line->fontMetrics().horizontalAdvance(full) + 200, dialog().height());
    EXPECT_EQ(line->displayedText(), full);
}

TEST(ElidePathTextTest, ShortensOnlyWhatDoesNotFit)
{
    const QFontMetrics metrics(QApplication::font());
    const QString text = QStringLiteral("Done. Output File: C:\\Users\\someone\\Music\\joined.wav");
    EXPECT_EQ(elidePathText(text, metrics, metrics.horizontalAdvance(text)), text);
    const QString cut = elidePathText(text, metrics, metrics.horizontalAdvance(text) - 40);
    EXPECT_TRUE(cut.endsWith(QStringLiteral("\\joined.wav"))) << cut.toStdString();
    EXPECT_LE(metrics.horizontalAdvance(cut), metrics.horizontalAdvance(text) - 40);
    // A file name longer than the room is cut in its own middle as a last resort.
    const QString tiny = elidePathText(text, metrics, 40);
    EXPECT_LE(metrics.horizontalAdvance(tiny), 40);
    EXPECT_EQ(elidePathText(QStringLiteral("no separators at all"), metrics, 1000),
              QStringLiteral("no separators at all"));
}

} // namespace
} // namespace kestrine::testing

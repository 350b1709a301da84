// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/clip_list.h"
#include "app/clip_list_view.h"

#include <QHeaderView>
#include <QTest>
#include <gtest/gtest.h>

namespace kestrine {
namespace {

struct RowTextCase {
    const char* name;
    QString path;
    MediaTime duration;
    QString nameText;
    QString secondsText;
};

void PrintTo(const RowTextCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class ClipRowTextTest : public ::testing::TestWithParam<RowTextCase> {};

TEST_P(ClipRowTextTest, ShowsFileNameAndWholeSeconds)
{
    const RowTextCase& c = GetParam();
    EXPECT_EQ(clipNameText(c.path), c.nameText);
    EXPECT_EQ(clipSecondsText(c.duration), c.secondsText);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ClipRowTextTest,
    ::testing::Values(
        RowTextCase{"SecondsTruncate", "/music/a/song.mp3", 29'000'000, "song.mp3", "2"},
        RowTextCase{"UnderOneSecond", "/music/short.wav", 9'999'999, "short.wav", "0"},
        RowTextCase{"Zero", "/x.ogg", 0, "x.ogg", "0"},
        RowTextCase{"ExactSeconds", "/m/long.flac", 3725 * kUnitsPerSecond, "long.flac", "3725"},
        RowTextCase{"BeyondThirtyTwoBits", "/m/day.wav", 400'000 * kUnitsPerSecond, "day.wav", "400000"},
        RowTextCase{"NoFolder", "plain.mp3", kUnitsPerSecond, "plain.mp3", "1"},
        RowTextCase{"NonAscii", QStringLiteral("/música/日本/Größe ünd 声.mp3"), 61 * kUnitsPerSecond,
                    QStringLiteral("Größe ünd 声.mp3"), "61"},
        RowTextCase{"DotsInFolder", "/a.b/c.d/track.name.mp3", 5 * kUnitsPerSecond, "track.name.mp3", "5"}),
    [](const ::testing::TestParamInfo<RowTextCase>& testInfo) { return std::string(testInfo.param.name); });

ClipList listOf(std::initializer_list<const char*> names)
{
    ClipList list;
    MediaTime duration = 0;
    for (const char* name : names)
        list.append(QString::fromLatin1(name), duration += kUnitsPerSecond);
    return list;
}

QStringList pathsOf(const ClipList& list)
{
    QStringList paths;
    for (const ClipItem& item : list.items())
        paths.append(item.path);
    return paths;
}

TEST(ClipListTest, EditsMovePathAndLengthTogether)
{
    ClipList list = listOf({"a", "b", "c", "d"});
    list.swap(0, 3);
    EXPECT_EQ(pathsOf(list), QStringList({"d", "b", "c", "a"}));
    EXPECT_EQ(list.at(0).duration, 4 * kUnitsPerSecond);
    EXPECT_EQ(list.at(3).duration, 1 * kUnitsPerSecond);

    list.removeAt(1);
    EXPECT_EQ(pathsOf(list), QStringList({"d", "c", "a"}));
    EXPECT_EQ(list.at(1).duration, 3 * kUnitsPerSecond);

    list.removeAt(2);
    EXPECT_EQ(pathsOf(list), QStringList({"d", "c"}));
    list.clear();
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(list.count(), 0);
}

TEST(ClipListTest, NeverHoldsMoreThanItsCapacity)
{
    ClipList list;
    for (int i = 0; i < ClipList::kCapacity; ++i)
        ASSERT_TRUE(list.append(QStringLiteral("/f%1.wav").arg(i), i));
    EXPECT_TRUE(list.isFull());
    EXPECT_FALSE(list.append(QStringLiteral("/one-more.wav"), 1));
    EXPECT_EQ(list.count(), ClipList::kCapacity);
    EXPECT_EQ(list.at(ClipList::kCapacity - 1).path, QStringLiteral("/f999.wav"));
}

TEST(ClipListTest, LongAndNonAsciiPathsRoundTripExactly)
{
    const QString deep = QStringLiteral("/") + QString(300, QLatin1Char('d')) + QStringLiteral("/ñ声🎵.mp3");
    ClipList list;
    list.append(deep, 7);
    EXPECT_EQ(list.at(0).path, deep);
    EXPECT_EQ(clipNameText(deep), QStringLiteral("ñ声🎵.mp3"));
}

TEST(ClipListViewTest, ReportViewWithTheTwoCentredColumns)
{
    ClipListView view;
    ASSERT_EQ(view.columnCount(), 2);
    EXPECT_EQ(view.headerItem()->text(0), QStringLiteral("Sound File Name"));
    EXPECT_EQ(view.headerItem()->text(1), QStringLiteral("Duration(s)"));
    EXPECT_GE(view.columnWidth(0), ClipListView::kNameColumnWidth);
    EXPECT_GE(view.columnWidth(1), ClipListView::kSecondsColumnWidth);
    EXPECT_EQ(view.header()->defaultAlignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    EXPECT_EQ(view.selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(view.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_FALSE(view.rootIsDecorated());
}

// The lengths column never clips its header, at any font size; the names
// take whatever width is left, and never less than their own width.
TEST(ClipListViewTest, ColumnsFollowTheFontAndTheWidth)
{
    for (const int points : {6, 9, 14, 24}) {
        ClipListView view;
        QFont font = view.font();
        font.setPointSize(points);
        view.setFont(font);
        view.header()->setFont(font);
        for (const int width : {200, 330, 900}) {
            view.resize(width, 200);
            view.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
            const int headerText = QFontMetrics(view.header()->font()).horizontalAdvance(QStringLiteral("Duration(s)"));
            EXPECT_GT(view.columnWidth(1), headerText + 8) << points << " pt, " << width << " px";
            EXPECT_GE(view.columnWidth(1), ClipListView::kSecondsColumnWidth);
            EXPECT_EQ(view.columnWidth(0),
                      std::max(ClipListView::kNameColumnWidth, view.viewport()->width() - view.columnWidth(1)))
                << points << " pt, " << width << " px";
        }
    }
}

TEST(ClipListViewTest, RowIShowsItemI)
{
    ClipList list;
    list.append(QStringLiteral("/m/one.mp3"), 29'000'000);
    list.append(QStringLiteral("/m/two.wav"), 5 * kUnitsPerSecond);
    ClipListView view;
    view.showItems(list);
    ASSERT_EQ(view.topLevelItemCount(), 2);
    EXPECT_EQ(view.topLevelItem(0)->text(0), QStringLiteral("one.mp3"));
    EXPECT_EQ(view.topLevelItem(0)->text(1), QStringLiteral("2"));
    EXPECT_EQ(view.topLevelItem(1)->text(0), QStringLiteral("two.wav"));
    EXPECT_EQ(view.topLevelItem(1)->textAlignment(1), Qt::AlignCenter);

    view.showItems(ClipList());
    EXPECT_EQ(view.topLevelItemCount(), 0);
}

} // namespace
} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/app/main_dialog_fixture.h"

#include <QApplication>
#include <QHelpEvent>
#include <QImage>
#include <QPainter>
#include <QToolTip>

namespace kestrine::testing {
namespace {

// How many pixel lines of rect hold ink darker than the row's background.
struct InkRows {
    int first = -1;
    int last = -1;
    int count() const { return first < 0 ? 0 : last - first + 1; }
};

InkRows inkRows(const QImage& image, const QRect& rect)
{
    InkRows rows;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                if (rows.first < 0)
                    rows.first = y;
                rows.last = y;
                break;
            }
        }
    }
    return rows;
}

// The letters that reach highest and lowest, at sizes from a small desktop
// font to one scaled by 1.5 and beyond: every row shows them whole, clear of
// the grid line at its foot.
TEST_F(MainDialogTest, RowsShowAccentsAndDescendersWholeAtEverySize)
{
    const QString name = QStringLiteral("\u00dc\u00d1 long.ogg");
    addThroughDialog({{makeFile(name), kSecond}});
    for (const int pixels : {11, 12, 13, 16, 20, 24}) {
        QFont font = view()->font();
        font.setPixelSize(pixels);
        view()->setFont(font);
        // No selection and no focus frame: only the text is dark.
        view()->clearSelection();
        view()->selectionModel()->clearCurrentIndex();
        QApplication::processEvents();

        const QRect row = view()->visualItemRect(view()->topLevelItem(0));
        const QRect nameCell(view()->columnViewportPosition(0) + 1, row.top(), view()->columnWidth(0) - 2,
                             row.height());
        const QImage shown = view()->viewport()->grab().toImage();
        // Below the row's top and above its grid line, nothing but the text is dark.
        const QRect inside = nameCell.adjusted(0, 0, 0, -1);
        const InkRows drawn = inkRows(shown, inside);

        // The same text drawn with room to spare is the measure.
        QImage free(QFontMetrics(font).horizontalAdvance(name) + 20, pixels * 4, QImage::Format_RGB32);
        free.fill(Qt::white);
        {
            QPainter painter(&free);
            painter.setFont(font);
            painter.setPen(Qt::black);
            painter.drawText(10, pixels * 2, name);
        }
        const InkRows whole = inkRows(free, free.rect());

        EXPECT_EQ(drawn.count(), whole.count()) << pixels << " px: row " << row.height() << " high";
        EXPECT_GT(drawn.first, inside.top()) << pixels << " px: the accents touch the row above";
        EXPECT_LT(drawn.last, inside.bottom()) << pixels << " px: the descenders touch the grid line";
    }
}

TEST_F(MainDialogTest, LongNamesLoseTheirMiddleAndEachRowTellsItsPath)
{
    const QString path = makeFile(QStringLiteral("a rather long name of a recording from the archive, part 2.flac"));
    addThroughDialog({{path, 3 * kSecond}});
    EXPECT_EQ(view()->textElideMode(), Qt::ElideMiddle);
    for (int column = 0; column < 2; ++column) {
        const QRect cell = view()->visualRect(view()->model()->index(0, column));
        QHelpEvent help(QEvent::ToolTip, cell.center(), view()->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(view()->viewport(), &help);
        EXPECT_EQ(QToolTip::text(), path) << column;
        QToolTip::hideText();
    }
}

} // namespace
} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/status_line.h"

#include <QFontMetrics>
#include <QPainter>

namespace kestrine {

namespace {

// Room between the frame and the text, and between the text and the summary.
constexpr int kTextMargin = 3;
constexpr int kSummaryGap = 12;

const QString kEllipsis = QStringLiteral("\u2026");

} // namespace

QString elidePathText(const QString& text, const QFontMetrics& metrics, int width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    const qsizetype cut = std::max(text.lastIndexOf(QLatin1Char('/')), text.lastIndexOf(QLatin1Char('\\')));
    if (cut > 0) {
        const QString tail = text.mid(cut);
        const int room = width - metrics.horizontalAdvance(tail);
        if (room > metrics.horizontalAdvance(kEllipsis)) {
            // Qt's own middle elision of the head keeps its start and the
            // folder nearest the file.
            const QString head = metrics.elidedText(text.left(cut), Qt::ElideMiddle, room);
            if (!head.isEmpty())
                return head + tail;
        }
    }
    return metrics.elidedText(text, Qt::ElideMiddle, width);
}

QString elideStatusText(const QString& text, const QString& path, const QFontMetrics& metrics, int width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    const qsizetype at = path.isEmpty() ? -1 : text.indexOf(path);
    if (at >= 0) {
        const QString before = text.left(at);
        const QString after = text.mid(at + path.size());
        const int room = width - metrics.horizontalAdvance(before + after);
        // The pieces are measured apart and the line as a whole: a few pixels
        // less room for the path make up for the difference.
        for (int slack = 0; slack <= 4 && room - slack > metrics.horizontalAdvance(kEllipsis); ++slack) {
            const QString shortened = before + elidePathText(path, metrics, room - slack) + after;
            if (metrics.horizontalAdvance(shortened) <= width)
                return shortened;
        }
    }
    return metrics.elidedText(text, Qt::ElideRight, width);
}

StatusLine::StatusLine(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

void StatusLine::setStatusText(const QString& text, const QString& path)
{
    path_ = path;
    setText(text);
    updateToolTip();
    // The same text with another path to shorten draws differently.
    update();
}

void StatusLine::setSummary(const QString& summary)
{
    if (summary == summary_)
        return;
    summary_ = summary;
    updateToolTip();
    update();
}

QString StatusLine::displayedText() const
{
    return elideStatusText(text(), path_, fontMetrics(), textArea().width());
}

QRect StatusLine::summaryArea() const
{
    if (summary_.isEmpty())
        return {};
    const QRect inside = contentsRect().adjusted(kTextMargin, 0, -kTextMargin, 0);
    // A pixel of slack: elidedText measures with fractional advances, and
    // would otherwise cut the summary it was given exactly its width for.
    const int width = std::min(fontMetrics().horizontalAdvance(summary_) + 2, inside.width() / 2);
    return {inside.right() + 1 - width, inside.top(), width, inside.height()};
}

QRect StatusLine::textArea() const
{
    QRect area = contentsRect().adjusted(kTextMargin, 0, -kTextMargin, 0);
    if (!summary_.isEmpty())
        area.setRight(summaryArea().left() - kSummaryGap);
    return area;
}

void StatusLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    drawFrame(&painter);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(textArea(), Qt::AlignLeft | Qt::AlignVCenter, displayedText());
    if (!summary_.isEmpty()) {
        const QRect area = summaryArea();
        painter.drawText(area, Qt::AlignRight | Qt::AlignVCenter,
                         fontMetrics().elidedText(summary_, Qt::ElideRight, area.width()));
    }
}

void StatusLine::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    updateToolTip();
}

void StatusLine::updateToolTip()
{
    QString tip = text();
    if (!summary_.isEmpty())
        tip += QLatin1Char('\n') + summary_;
    setToolTip(tip);
}

} // namespace kestrine

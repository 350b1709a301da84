// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/clip_list_view.h"

#include "app/media_file_types.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>
#include <algorithm>
#include <cstdlib>

namespace kestrine {

namespace {

QStringList localFiles(const QMimeData* data)
{
    QStringList paths;
    if (data == nullptr || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    return paths;
}

// Below this a selected row cannot be told from the others at a glance.
constexpr int kVisibleDifference = 90;

int colourDistance(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

QColor fallbackHighlight(const QColor& base)
{
    return base.lightness() > 127 ? QColor(0x30, 0x60, 0xc0) : QColor(0x4a, 0x8a, 0xe0);
}

QColor readableOn(const QColor& background)
{
    return background.lightness() > 140 ? QColor(Qt::black) : QColor(Qt::white);
}

QTreeWidgetItem* makeRow(const ClipItem& item)
{
    auto* row = new QTreeWidgetItem({clipNameText(item.path), clipSecondsText(item.duration)});
    row->setTextAlignment(0, Qt::AlignCenter);
    row->setTextAlignment(1, Qt::AlignCenter);
    row->setToolTip(0, item.path);
    return row;
}

} // namespace

ClipListView::ClipListView(QWidget* parent) : QTreeWidget(parent)
{
    setColumnCount(2);
    setHeaderLabels({QStringLiteral("Sound File Name"), QStringLiteral("Duration(s)")});
    header()->setDefaultAlignment(Qt::AlignCenter);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::Fixed);
    header()->setSectionsMovable(false);
    fitColumns();
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    ensureVisibleSelection();
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    // Rows are dragged within the list to reorder it; files come from outside.
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setDropIndicatorShown(true);
}

void ClipListView::ensureVisibleSelection()
{
    // Some desktop themes draw the selection of an inactive window in nearly
    // the colour of the list itself: the user would then move and delete rows
    // blind as soon as a message box takes the focus.
    QPalette adjusted = palette();
    bool changed = false;
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        const QColor base = adjusted.color(group, QPalette::Base);
        const QColor highlight = adjusted.color(group, QPalette::Highlight);
        if (colourDistance(highlight, base) >= kVisibleDifference)
            continue;
        const QColor active = adjusted.color(QPalette::Active, QPalette::Highlight);
        const QColor visible = colourDistance(active, base) >= kVisibleDifference ? active : fallbackHighlight(base);
        adjusted.setColor(group, QPalette::Highlight, visible);
        adjusted.setColor(group, QPalette::HighlightedText, readableOn(visible));
        changed = true;
    }
    if (changed)
        setPalette(adjusted);
}

void ClipListView::changeEvent(QEvent* event)
{
    QTreeWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        ensureVisibleSelection();
    else if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitColumns();
}

void ClipListView::updateGeometries()
{
    QTreeWidget::updateGeometries();
    fitColumns();
}

void ClipListView::fitColumns()
{
    // The lengths column is as wide as its header needs in the current font;
    // the names take the rest of the width.
    const int seconds = std::max(kSecondsColumnWidth, header()->sectionSizeHint(1));
    const int names = std::max(kNameColumnWidth, viewport()->width() - seconds);
    if (columnWidth(1) != seconds)
        setColumnWidth(1, seconds);
    if (columnWidth(0) != names)
        setColumnWidth(0, names);
}

void ClipListView::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QTreeWidget::drawRow(painter, option, index);
    // Grid lines between the cells, as a report view draws them, over the
    // selection so that selected rows keep their cells apart too.
    painter->save();
    painter->setPen(palette().color(QPalette::Mid));
    const QRect row = option.rect;
    painter->drawLine(row.left(), row.bottom(), row.right(), row.bottom());
    for (int column = 0; column < columnCount(); ++column) {
        const int right = columnViewportPosition(column) + columnWidth(column) - 1;
        painter->drawLine(right, row.top(), right, row.bottom());
    }
    painter->restore();
}

void ClipListView::showItems(const ClipList& list)
{
    clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(list.count());
    for (const ClipItem& item : list.items())
        rows.append(makeRow(item));
    addTopLevelItems(rows);
}

void ClipListView::removeRow(int row)
{
    delete takeTopLevelItem(row);
}

void ClipListView::insertRow(int row, const ClipItem& item)
{
    insertTopLevelItem(row, makeRow(item));
}

QVector<int> ClipListView::selectedRows() const
{
    QVector<int> rows;
    for (QTreeWidgetItem* item : selectedItems())
        rows.append(indexOfTopLevelItem(item));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void ClipListView::selectRows(const QVector<int>& rows)
{
    clearSelection();
    for (int row : rows) {
        if (QTreeWidgetItem* item = topLevelItem(row))
            item->setSelected(true);
    }
}

void ClipListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTreeWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton)
        emit playRequested();
}

void ClipListView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        emit deleteRequested();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

QStringList ClipListView::mimeTypes() const
{
    return {QString::fromLatin1(kRowsMimeType), QStringLiteral("text/uri-list")};
}

QMimeData* ClipListView::mimeData(const QList<QTreeWidgetItem*>& items) const
{
    // The rows themselves travel, not their texts: the dialog moves the items.
    QStringList rows;
    for (QTreeWidgetItem* item : items)
        rows.append(QString::number(indexOfTopLevelItem(item)));
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kRowsMimeType), rows.join(QLatin1Char(',')).toLatin1());
    return mime;
}

void ClipListView::dragEnterEvent(QDragEnterEvent* event)
{
    if (draggedRows(event->mimeData()).isEmpty() && localFiles(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    QTreeWidget::dragEnterEvent(event);
    event->accept();
}

void ClipListView::dragMoveEvent(QDragMoveEvent* event)
{
    if (!draggedRows(event->mimeData()).isEmpty()) {
        QTreeWidget::dragMoveEvent(event); // places the drop indicator
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else if (!localFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void ClipListView::dropEvent(QDropEvent* event)
{
    const QVector<int> rows = draggedRows(event->mimeData());
    if (!rows.isEmpty()) {
        const int target = dropRow(event->position().toPoint());
        // The list is the dialog's to change; the view only says what was
        // asked. A copy action keeps Qt from removing the dragged rows itself.
        event->setDropAction(Qt::CopyAction);
        event->accept();
        setState(NoState);
        viewport()->update();
        emit rowsDropped(rows, target);
        return;
    }
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit filesDropped(expandFolders(paths));
}

int ClipListView::dropRow(const QPoint& position) const
{
    const QModelIndex index = indexAt(position);
    if (!index.isValid())
        return topLevelItemCount();
    const QRect rect = visualRect(index);
    return position.y() < rect.center().y() ? index.row() : index.row() + 1;
}

QVector<int> ClipListView::draggedRows(const QMimeData* mime) const
{
    QVector<int> rows;
    if (mime == nullptr || !mime->hasFormat(QString::fromLatin1(kRowsMimeType)))
        return rows;
    const QList<QByteArray> parts = mime->data(QString::fromLatin1(kRowsMimeType)).split(',');
    for (const QByteArray& part : parts) {
        bool ok = false;
        const int row = part.toInt(&ok);
        if (!ok || row < 0 || row >= topLevelItemCount())
            return {};
        rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

} // namespace kestrine

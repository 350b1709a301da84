// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/clip_list_view.h"

#include "app/media_file_types.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QUrl>
#include <algorithm>
#include <cstdlib>

namespace kestrine {

namespace {

const QString kListKey = QStringLiteral("list");
const QString kRowsKey = QStringLiteral("rows");
const QString kPathsKey = QStringLiteral("paths");
constexpr int kPathRole = Qt::UserRole;

// The rows a drag carries, as sent; empty when it carries none or they do not parse.
QJsonObject rowsPayload(const QMimeData* data)
{
    if (data == nullptr || !data->hasFormat(QString::fromLatin1(ClipListView::kRowsMimeType)))
        return {};
    const QJsonDocument document = QJsonDocument::fromJson(data->data(QString::fromLatin1(ClipListView::kRowsMimeType)));
    if (!document.isObject())
        return {};
    const QJsonObject payload = document.object();
    if (!payload.value(kListKey).isString() || !payload.value(kRowsKey).isArray()
        || !payload.value(kPathsKey).isArray()
        || payload.value(kRowsKey).toArray().size() != payload.value(kPathsKey).toArray().size())
        return {};
    return payload;
}

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
    // A long name is cut in its middle on the screen; the tooltip of either
    // cell gives the whole path.
    row->setToolTip(0, item.path);
    row->setToolTip(1, item.path);
    row->setData(0, kPathRole, item.path);
    return row;
}

// Room above and below a row's text, besides the grid line at its foot.
constexpr int kRowPadding = 2;

// Rows as tall as the font's tallest letters need, accents above capitals
// and descenders below the line included. The style's own hint follows the
// font's line height, which accents and descenders of some fonts overrun,
// and the grid line at a row's foot takes one more pixel.
class RowHeightDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), rowHeight(option.font)));
        return size;
    }

private:
    static int rowHeight(const QFont& font)
    {
        const QFontMetrics metrics(font);
        const QRect ink = metrics.boundingRect(QStringLiteral("\u00dc\u00d1\u00c5\u00c9\u00c7gjpqy|"));
        // The line is centred in the row, so what it overruns on either side
        // is needed on both.
        const int above = std::max(0, -ink.top() - metrics.ascent());
        const int below = std::max(0, ink.bottom() + 1 - metrics.descent());
        return metrics.height() + 2 * std::max(above, below) + 2 * kRowPadding + 1;
    }
};

} // namespace

ClipListView::ClipListView(QWidget* parent) : QTreeWidget(parent)
{
    setItemDelegate(new RowHeightDelegate(this));
    // The extension and the start of the name both say what a file is.
    setTextElideMode(Qt::ElideMiddle);
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

void ClipListView::placeCursor(int row)
{
    if (row < 0 || row >= topLevelItemCount())
        return;
    selectionModel()->setCurrentIndex(model()->index(row, 0), QItemSelectionModel::NoUpdate);
    scrollTo(currentIndex());
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
    QVector<int> rows;
    for (QTreeWidgetItem* item : items)
        rows.append(indexOfTopLevelItem(item));
    std::sort(rows.begin(), rows.end());
    return rowsMimeData(rows);
}

QMimeData* ClipListView::rowsMimeData(const QVector<int>& rows) const
{
    // The rows themselves travel, not their texts: the dialog moves the items.
    // Their files travel too, for a list in another window, which adds them.
    QJsonArray numbers;
    QJsonArray paths;
    for (int row : rows) {
        const QTreeWidgetItem* item = topLevelItem(row);
        if (item == nullptr)
            continue;
        numbers.append(row);
        paths.append(item->data(0, kPathRole).toString());
    }
    const QJsonObject payload{{kListKey, listId_}, {kRowsKey, numbers}, {kPathsKey, paths}};
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kRowsMimeType), QJsonDocument(payload).toJson(QJsonDocument::Compact));
    return mime;
}

void ClipListView::startDrag(Qt::DropActions supportedActions)
{
    const QVector<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(rowsMimeData(rows));
    // Whatever the target answers, this view never takes rows out by itself:
    // a move within the list is the dialog's, and another window only copies.
    // Qt's own drag would delete the rows from the view after a move and
    // leave the list holding them.
    drag->exec(supportedActions & (Qt::CopyAction | Qt::MoveAction), Qt::MoveAction);
}

void ClipListView::dragEnterEvent(QDragEnterEvent* event)
{
    if (draggedRows(event->mimeData()).isEmpty() && foreignFiles(event->mimeData()).isEmpty()
        && localFiles(event->mimeData()).isEmpty()) {
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
    } else if (!foreignFiles(event->mimeData()).isEmpty()) {
        // Added at the end, as dropped files are: no place to show in between.
        event->setDropAction(Qt::CopyAction);
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
    const QStringList foreign = foreignFiles(event->mimeData());
    if (rows.isEmpty() && !foreign.isEmpty()) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
        setState(NoState);
        viewport()->update();
        emit filesDropped(foreign);
        return;
    }
    if (rows.isEmpty() && rowsPayload(event->mimeData()).value(kListKey).toString() == listId_) {
        // Rows of this list that no longer match it: nothing to move.
        event->ignore();
        return;
    }
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
    const QJsonObject payload = rowsPayload(mime);
    if (payload.value(kListKey).toString() != listId_)
        return {};
    const QJsonArray numbers = payload.value(kRowsKey).toArray();
    const QJsonArray paths = payload.value(kPathsKey).toArray();
    QVector<int> rows;
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        const QJsonValue number = numbers.at(i);
        if (!number.isDouble())
            return {};
        const int row = number.toInt(-1);
        // Each row must still hold the file it held when the drag began.
        const QTreeWidgetItem* item = topLevelItem(row);
        if (row < 0 || item == nullptr || item->data(0, kPathRole).toString() != paths.at(i).toString())
            return {};
        rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

QStringList ClipListView::foreignFiles(const QMimeData* mime) const
{
    const QJsonObject payload = rowsPayload(mime);
    if (payload.isEmpty() || payload.value(kListKey).toString() == listId_)
        return {};
    QStringList paths;
    for (const QJsonValue& path : payload.value(kPathsKey).toArray()) {
        if (!path.isString() || path.toString().isEmpty())
            return {};
        paths.append(path.toString());
    }
    return paths;
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/clip_list_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <algorithm>

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
    setColumnWidth(0, kNameColumnWidth);
    setColumnWidth(1, kSecondsColumnWidth);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    // Grid lines between the cells, as a report view draws them.
    setStyleSheet(QStringLiteral("QTreeView::item { border-right: 1px solid palette(mid);"
                                 " border-bottom: 1px solid palette(mid); }"));
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
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

void ClipListView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void ClipListView::dragMoveEvent(QDragMoveEvent* event)
{
    if (!localFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void ClipListView::dropEvent(QDropEvent* event)
{
    const QStringList paths = localFiles(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit filesDropped(paths);
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "app/clip_list.h"

#include <QStringList>
#include <QTreeWidget>
#include <QUuid>
#include <QVector>

namespace kestrine {

// The clip list in report view: row i always shows item i.
class ClipListView : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kNameColumnWidth = 245;
    static constexpr int kSecondsColumnWidth = 80;
    // What a drag of rows carries: the list they come from, their numbers
    // and their files, so that another list can add the files instead.
    static constexpr char kRowsMimeType[] = "application/x-kestrine-rows";

    explicit ClipListView(QWidget* parent = nullptr);

    // Deletes every row and inserts one per item.
    void showItems(const ClipList& list);
    void removeRow(int row);
    void insertRow(int row, const ClipItem& item);
    // Selected rows in ascending order.
    QVector<int> selectedRows() const;
    void selectRows(const QVector<int>& rows);
    // Puts the keyboard's cursor on row, leaving the selection as it is.
    void placeCursor(int row);
    // What a drag of rows (ascending) from this list carries.
    QMimeData* rowsMimeData(const QVector<int>& rows) const;

signals:
    // A double click anywhere in the list, on a row or not.
    void playRequested();
    void deleteRequested();
    // Local files dropped from a file manager, in the order given, folders
    // already replaced by the media files in them.
    void filesDropped(const QStringList& paths);
    // Rows (ascending) dragged within the list to land before row target
    // (the row count for the end).
    void rowsDropped(const QVector<int>& rows, int target);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;
    void startDrag(Qt::DropActions supportedActions) override;
    void changeEvent(QEvent* event) override;
    void updateGeometries() override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    void ensureVisibleSelection();
    void fitColumns();
    int dropRow(const QPoint& position) const;
    // Rows dragged within this list; empty for a drag from elsewhere or one
    // that no longer matches the list.
    QVector<int> draggedRows(const QMimeData* mime) const;
    // The files of rows dragged from another list.
    QStringList foreignFiles(const QMimeData* mime) const;

    // Tells this list's drags from those of other windows, in this process or another.
    const QString listId_ = QUuid::createUuid().toString(QUuid::WithoutBraces);
};

} // namespace kestrine

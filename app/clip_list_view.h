// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "app/clip_list.h"

#include <QStringList>
#include <QTreeWidget>
#include <QVector>

namespace kestrine {

// The clip list in report view: row i always shows item i.
class ClipListView : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kNameColumnWidth = 245;
    static constexpr int kSecondsColumnWidth = 80;
    // What a drag of rows within the list carries: their numbers, "1,2".
    static constexpr char kRowsMimeType[] = "application/x-kestrine-rows";

    explicit ClipListView(QWidget* parent = nullptr);

    // Deletes every row and inserts one per item.
    void showItems(const ClipList& list);
    void removeRow(int row);
    void insertRow(int row, const ClipItem& item);
    // Selected rows in ascending order.
    QVector<int> selectedRows() const;
    void selectRows(const QVector<int>& rows);

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
    void changeEvent(QEvent* event) override;
    void updateGeometries() override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    void ensureVisibleSelection();
    void fitColumns();
    int dropRow(const QPoint& position) const;
    QVector<int> draggedRows(const QMimeData* mime) const;
};

} // namespace kestrine

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
    // Local files dropped from a file manager, in the order given.
    void filesDropped(const QStringList& paths);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void changeEvent(QEvent* event) override;
    void updateGeometries() override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    void ensureVisibleSelection();
    void fitColumns();
};

} // namespace kestrine

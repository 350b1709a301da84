// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "app/clip_list.h"

#include <QUndoCommand>
#include <QVector>
#include <functional>

namespace kestrine {

// The list and its selected rows at one moment.
struct ListState {
    ClipList list;
    QVector<int> selected;
};

// One edit of the clip list, kept as the list before and after it, so that
// undoing and redoing it are both a plain restore: the edit has already
// happened when it is recorded.
class ListEdit : public QUndoCommand {
public:
    using Restore = std::function<void(const ListState&)>;

    ListEdit(ListState before, ListState after, Restore restore);

    void undo() override;
    void redo() override;

    // What the edit did, by how the list changed: "Add", "Delete", ...
    static QString describe(const ClipList& before, const ClipList& after);

private:
    ListState before_;
    ListState after_;
    Restore restore_;
    bool applied_ = true;
};

} // namespace kestrine

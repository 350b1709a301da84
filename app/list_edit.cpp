// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/list_edit.h"

#include <algorithm>
#include <utility>

namespace kestrine {

ListEdit::ListEdit(ListState before, ListState after, Restore restore)
    : before_(std::move(before)), after_(std::move(after)), restore_(std::move(restore))
{
    setText(describe(before_.list, after_.list));
}

void ListEdit::undo()
{
    applied_ = false;
    restore_(before_);
}

void ListEdit::redo()
{
    // The undo stack redoes a command as it is pushed; this one is done already.
    if (applied_)
        return;
    applied_ = true;
    restore_(after_);
}

QString ListEdit::describe(const ClipList& before, const ClipList& after)
{
    if (after.count() > before.count())
        return QStringLiteral("Add");
    if (after.isEmpty())
        return QStringLiteral("Delete All");
    if (after.count() < before.count())
        return QStringLiteral("Delete");
    const auto byPathAndLength = [](const ClipItem& a, const ClipItem& b) {
        return a.path != b.path ? a.path < b.path : a.duration < b.duration;
    };
    std::vector<ClipItem> was(before.items().begin(), before.items().end());
    std::vector<ClipItem> is(after.items().begin(), after.items().end());
    std::sort(was.begin(), was.end(), byPathAndLength);
    std::sort(is.begin(), is.end(), byPathAndLength);
    return was == is ? QStringLiteral("Move") : QStringLiteral("Replace");
}

} // namespace kestrine

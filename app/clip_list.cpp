// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/clip_list.h"

#include <QFileInfo>
#include <utility>

namespace kestrine {

ClipList::ClipList()
{
    // One allocation for the list's whole life, whatever the user adds.
    items_.reserve(kCapacity);
}

bool ClipList::append(const QString& path, MediaTime duration)
{
    return append(ClipItem{path, duration, {}});
}

bool ClipList::append(const ClipItem& item)
{
    if (isFull())
        return false;
    items_.push_back(item);
    return true;
}

void ClipList::removeAt(int index)
{
    items_.erase(items_.begin() + index);
}

void ClipList::replaceAt(int index, const ClipItem& item)
{
    items_.at(static_cast<std::size_t>(index)) = item;
}

void ClipList::clear()
{
    items_.clear();
}

void ClipList::swap(int first, int second)
{
    std::swap(items_.at(static_cast<std::size_t>(first)), items_.at(static_cast<std::size_t>(second)));
}

QString clipNameText(const QString& path)
{
    return QFileInfo(path).fileName();
}

QString clipSecondsText(MediaTime duration)
{
    // Integer division truncates toward zero, as whole seconds should.
    return QString::number(duration / kUnitsPerSecond);
}

} // namespace kestrine

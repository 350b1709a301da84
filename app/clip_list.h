// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/clip_item.h"

#include <span>
#include <vector>

namespace kestrine {

// The ordered files of a join, first item first. The list never holds more
// than kCapacity items: a join takes at most that many.
class ClipList {
public:
    static constexpr int kCapacity = kMostFilesPerJoin;

    ClipList();

    int count() const { return static_cast<int>(items_.size()); }
    bool isEmpty() const { return items_.empty(); }
    bool isFull() const { return count() >= kCapacity; }
    const ClipItem& at(int index) const { return items_.at(static_cast<std::size_t>(index)); }
    std::span<const ClipItem> items() const { return items_; }

    // False, and nothing stored, when the list is full.
    bool append(const QString& path, MediaTime duration);
    bool append(const ClipItem& item);
    void removeAt(int index);
    // The item at index becomes another file of its own length.
    void replaceAt(int index, const ClipItem& item);
    void clear();
    void swap(int first, int second);

    friend bool operator==(const ClipList&, const ClipList&) = default;

private:
    std::vector<ClipItem> items_;
};

// The two texts of a row of the list view.
QString clipNameText(const QString& path);
QString clipSecondsText(MediaTime duration);

} // namespace kestrine

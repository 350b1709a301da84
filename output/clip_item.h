// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_framework.h"
#include "output/framework/media_time.h"

#include <QString>

namespace kestrine {

// The most files one join takes, in the window's list and on the command line.
inline constexpr int kMostFilesPerJoin = 1000;

// One file of the join and its playing length as measured when it was added,
// with its rate, channels and depth as far as measuring told them.
struct ClipItem {
    QString path;
    MediaTime duration = 0;
    SourceFormat format{};

    friend bool operator==(const ClipItem&, const ClipItem&) = default;
};

} // namespace kestrine

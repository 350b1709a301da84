// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QStringList>

namespace kestrine {

// The name patterns of the media files the program reads ("*.mp3", ...):
// the long-standing list first, then the other formats FFmpeg decodes.
QStringList mediaFilePatterns();

// Whether a file name matches one of those patterns, in any letter case.
bool isMediaFileName(const QString& fileName);

// Orders names as people count: "2" before "10", "a" beside "A".
// Negative, zero or positive as a comes before, with or after b.
int naturalCompare(const QString& a, const QString& b);

// Paths as dropped: every folder is replaced by the media files inside it and
// its subfolders, in natural name order ("2" before "10"); files stay as given.
QStringList expandFolders(const QStringList& paths);

// The short name of the format a join into path writes, as its extension
// spells it: "wav", "flac", "mp3", "opus", "m4a" or "m4b".
QString outputFormatName(const QString& path);

} // namespace kestrine

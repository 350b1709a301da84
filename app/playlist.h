// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "app/clip_list.h"

#include <QString>
#include <QStringList>

namespace kestrine {

// A playlist is text of a few bytes per entry: this is tens of thousands of
// entries, far more than a join takes, and still read in a moment.
inline constexpr qint64 kMostPlaylistBytes = 4 * 1024 * 1024;

enum class PlaylistProblem {
    None,
    CannotOpen,     // missing, or may not be read; reason says why
    NotRegularFile, // a pipe, a device or a folder, which could block or never end
    TooLarge,       // more than kMostPlaylistBytes
    NotText,        // binary bytes: not a playlist at all
};

// The files a playlist names, in its order, as absolute paths.
struct PlaylistEntries {
    QStringList paths;
    PlaylistProblem problem = PlaylistProblem::None;
    QString reason; // the system's words when the file could not be opened or read
};

// Reads an M3U, M3U8 or PLS playlist; only a regular file of at most
// kMostPlaylistBytes, which is never opened in a way that could block.
// Relative entries and relative file: addresses are taken against the
// playlist's own folder; file: addresses become paths; other addresses are
// left out. A byte-order mark says UTF-8 or UTF-16; without one, M3U8 is
// UTF-8 and a plain M3U is read as UTF-8 when it is valid UTF-8, else in the
// Latin-1 of older players.
PlaylistEntries readPlaylist(const QString& playlistPath);

// The sentence that tells the user why entries of playlistPath could not be read.
QString playlistProblemText(const QString& playlistPath, const PlaylistEntries& entries);

// Writes list as an M3U8 playlist (UTF-8) with an #EXTINF line per file giving
// its length in whole seconds. Files inside the playlist's folder are written
// relative to it, so that folder and playlist can move together. False when
// the file could not be written; an old playlist is then left untouched.
bool writeM3u8Playlist(const QString& playlistPath, const ClipList& list);

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "app/clip_list.h"

#include <QString>
#include <QStringList>

namespace kestrine {

// The files a playlist names, in its order, as absolute paths.
struct PlaylistEntries {
    QStringList paths;
    bool readable = false; // false: the playlist itself could not be read
};

// Reads an M3U, M3U8 or PLS playlist. Relative entries are taken against the
// playlist's own folder; file:// addresses become paths; other addresses are
// left out. M3U8 is UTF-8; a plain M3U is read as UTF-8 when it is valid
// UTF-8, else in the Latin-1 of older players.
PlaylistEntries readPlaylist(const QString& playlistPath);

// Writes list as an M3U8 playlist (UTF-8) with an #EXTINF line per file giving
// its length in whole seconds. Files inside the playlist's folder are written
// relative to it, so that folder and playlist can move together. False when
// the file could not be written; an old playlist is then left untouched.
bool writeM3u8Playlist(const QString& playlistPath, const ClipList& list);

} // namespace kestrine

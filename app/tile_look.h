// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QColor>
#include <QImage>
#include <QPixmap>

class QPalette;

namespace kestrine {

// The window's own surface: the tile it is papered with and the colours of
// what is drawn straight on it (captions, frames, the status line). Under a
// dark palette the surface turns dark too, so that the window is not a light
// patch among the desktop's dark ones.
struct TileLook {
    QPixmap tile;
    QColor text;
    QColor light;  // the lit edges of borders
    QColor shadow; // their shaded edges
};

// Whether a palette draws light text on dark ground.
bool isDarkPalette(const QPalette& palette);

// The same tile in the dark: every colour keeps its hue and saturation, and
// its lightness turns over, so the ground goes dark and the pattern stays.
QImage darkenTile(const QImage& lightTile);

// The look for palette, from the program's own light tile.
TileLook tileLookFor(const QPalette& palette, const QPixmap& lightTile);

} // namespace kestrine

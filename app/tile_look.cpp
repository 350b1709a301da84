// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/tile_look.h"

#include <QPalette>
#include <algorithm>

namespace kestrine {

namespace {

// Dark enough to read on the light tile, and its border edges.
const QColor kTextOnLightTile(0x20, 0x20, 0x20);
const QColor kLightOnLightTile(0xff, 0xff, 0xff);
const QColor kShadowOnLightTile(0x80, 0x80, 0x80);

// Light enough to read on the dark tile, and edges that still show on it.
const QColor kTextOnDarkTile(0xe8, 0xe8, 0xe8);
const QColor kLightOnDarkTile(0x6e, 0x74, 0x7c);
const QColor kShadowOnDarkTile(0x10, 0x11, 0x13);

// Turned over around this sum, the light tile's ground (lightness 241) lands
// at 48, near a dark desktop's window colour, and its darker dots turn a
// little lighter than the new ground.
constexpr int kDarkLightnessSum = 289;

} // namespace

bool isDarkPalette(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() <
           palette.color(QPalette::WindowText).lightness();
}

QImage darkenTile(const QImage& lightTile)
{
    QImage dark = lightTile.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < dark.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(dark.scanLine(y));
        for (int x = 0; x < dark.width(); ++x) {
            const QColor colour = QColor::fromRgba(line[x]);
            int hue = 0;
            int saturation = 0;
            int lightness = 0;
            int alpha = 0;
            colour.getHsl(&hue, &saturation, &lightness, &alpha);
            lightness = std::clamp(kDarkLightnessSum - lightness, 0, 255);
            line[x] = QColor::fromHsl(hue, saturation, lightness, alpha).rgba();
        }
    }
    return dark;
}

TileLook tileLookFor(const QPalette& palette, const QPixmap& lightTile)
{
    if (!isDarkPalette(palette))
        return {lightTile, kTextOnLightTile, kLightOnLightTile, kShadowOnLightTile};
    QPixmap dark =
        lightTile.isNull() ? QPixmap() : QPixmap::fromImage(darkenTile(lightTile.toImage()));
    if (!dark.isNull())
        dark.setDevicePixelRatio(lightTile.devicePixelRatio());
    return {dark, kTextOnDarkTile, kLightOnDarkTile, kShadowOnDarkTile};
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QApplication>
#include <QColor>
#include <QImage>
#include <QPalette>
#include <QRect>
#include <QStyle>
#include <cstdlib>

namespace kestrine::testing {

// What a dark desktop theme hands the program: light text on dark faces, and
// an inactive selection hardly apart from the list's own colour, as some
// themes draw it.
inline QPalette darkThemePalette()
{
    QPalette dark;
    const auto set = [&dark](QPalette::ColorRole role, QColor colour) { dark.setColor(QPalette::All, role, colour); };
    set(QPalette::Window, QColor(0x2a, 0x2e, 0x32));
    set(QPalette::WindowText, QColor(0xfc, 0xfc, 0xfc));
    set(QPalette::Base, QColor(0x1b, 0x1e, 0x20));
    set(QPalette::AlternateBase, QColor(0x23, 0x26, 0x29));
    set(QPalette::Button, QColor(0x31, 0x36, 0x3b));
    set(QPalette::ButtonText, QColor(0xfc, 0xfc, 0xfc));
    set(QPalette::Text, QColor(0xfc, 0xfc, 0xfc));
    set(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    set(QPalette::HighlightedText, QColor(0xfc, 0xfc, 0xfc));
    set(QPalette::Light, QColor(0x40, 0x46, 0x4c));
    set(QPalette::Midlight, QColor(0x3a, 0x40, 0x45));
    set(QPalette::Mid, QColor(0x1f, 0x22, 0x25));
    set(QPalette::Dark, QColor(0x14, 0x16, 0x18));
    set(QPalette::Shadow, QColor(0x0a, 0x0a, 0x0a));
    dark.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0x24, 0x28, 0x2b));
    return dark;
}

// A light theme whose inactive selection is nearly white on white.
inline QPalette lightThemePalette()
{
    QPalette light = QApplication::style()->standardPalette();
    light.setColor(QPalette::Inactive, QPalette::Highlight, QColor(0xf4, 0xf4, 0xf4));
    light.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
    return light;
}

// Sets the application's palette for one test and puts the old one back.
class ScopedPalette {
public:
    explicit ScopedPalette(const QPalette& palette) : original_(QApplication::palette())
    {
        QApplication::setPalette(palette);
    }
    ~ScopedPalette() { QApplication::setPalette(original_); }
    ScopedPalette(const ScopedPalette&) = delete;
    ScopedPalette& operator=(const ScopedPalette&) = delete;

private:
    QPalette original_;
};

inline int colourDistance(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

// The largest lightness difference between any pixel of area and background:
// how well text drawn there stands out.
inline int strongestContrast(const QImage& image, const QRect& area, const QColor& background)
{
    int strongest = 0;
    const QRect inside = area & image.rect();
    for (int y = inside.top(); y <= inside.bottom(); ++y)
        for (int x = inside.left(); x <= inside.right(); ++x)
            strongest = std::max(strongest, std::abs(QColor(image.pixel(x, y)).lightness() - background.lightness()));
    return strongest;
}

} // namespace kestrine::testing

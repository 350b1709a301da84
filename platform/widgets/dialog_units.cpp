// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "platform/widgets/dialog_units.h"

#include <QFontMetrics>
#include <cmath>

namespace kestrine {

namespace {

int mulDiv(int value, int numerator, int denominator)
{
    return static_cast<int>(std::lround(static_cast<double>(value) * numerator / denominator));
}

} // namespace

QRect dialogUnitsToPixels(const QRect& units, const QFont& font)
{
    const QFontMetrics metrics(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int charWidth = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    const int charHeight = metrics.height();
    return {mulDiv(units.x(), charWidth, 4), mulDiv(units.y(), charHeight, 8),
            mulDiv(units.width(), charWidth, 4), mulDiv(units.height(), charHeight, 8)};
}

QString controlName(int id)
{
    return QStringLiteral("control%1").arg(id);
}

} // namespace kestrine

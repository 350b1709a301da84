// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QFont>
#include <QRect>
#include <QString>

namespace kestrine {

// Every window of the program lays its controls out in dialog units, so that
// they grow with the font: a quarter of the average width of the Latin
// letters (rounded to whole pixels) across, an eighth of the font's height
// down.
QRect dialogUnitsToPixels(const QRect& units, const QFont& font);

// The objectName of the control with this id, so that it can be found.
QString controlName(int id);

} // namespace kestrine

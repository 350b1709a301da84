// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

class QWidget;

namespace kestrine {

// Focus marks stay hidden while the window is used with the mouse alone and
// appear, for good, once the keyboard has moved the focus in it.
bool keyboardCuesShown(const QWidget* widget);
void showKeyboardCues(QWidget* widget);

} // namespace kestrine

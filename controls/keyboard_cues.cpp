// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "controls/keyboard_cues.h"

#include <QVariant>
#include <QWidget>

namespace kestrine {

namespace {

constexpr char kCuesProperty[] = "kestrineKeyboardCues";

} // namespace

bool keyboardCuesShown(const QWidget* widget)
{
    return widget != nullptr && widget->window()->property(kCuesProperty).toBool();
}

void showKeyboardCues(QWidget* widget)
{
    if (widget == nullptr || keyboardCuesShown(widget))
        return;
    QWidget* window = widget->window();
    window->setProperty(kCuesProperty, true);
    if (QWidget* focus = window->focusWidget())
        focus->update();
}

} // namespace kestrine

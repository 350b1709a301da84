// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "controls/html_handler_lookup.h"

#include <QStringList>

namespace kestrine {

// The desktop entry that xdg-mime names as the default text/html handler,
// read from the XDG data folders.
class XdgHtmlHandlerLookup : public HtmlHandlerLookup {
public:
    QString commandLine() const override;

    // The Exec value of a desktop entry's [Desktop Entry] group; empty when it
    // has none.
    static QString execLine(const QString& desktopEntry);
    // The path of desktop entry id ("firefox-esr.desktop") in the first of
    // dataDirs that has it; a "vendor-name.desktop" id is also looked up as
    // "vendor/name.desktop". Empty when none has it.
    static QString findDesktopEntry(const QString& id, const QStringList& dataDirs);
    // The user's data folder first, then the system's, as XDG orders them.
    static QStringList dataDirs();
};

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QString>

namespace kestrine {

// Finds the command line of the program the user has chosen for web pages,
// the fallback when the desktop cannot open an address itself.
class HtmlHandlerLookup {
public:
    virtual ~HtmlHandlerLookup() = default;
    // The handler's command line with its placeholder; empty when none is set.
    virtual QString commandLine() const = 0;
};

} // namespace kestrine

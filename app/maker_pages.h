// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QString>

namespace kestrine {

// The help page that says what Kestrine is and where to report problems; it
// stands in for the maker's pages when the build names none.
inline constexpr char kAboutHelpPage[] = "about.htm";

// The path of a page of the help that comes with the program.
QString helpPagePath(const QString& page);

// configured when the build named an address, else the help's About page.
QString makerPageAddress(const QString& configured);

// Where Homepage and the About box's links go.
QString homePageAddress();
QString contactPageAddress();
// The text of the About box's home-page link: the address, or what the help's page is.
QString homePageText();

} // namespace kestrine

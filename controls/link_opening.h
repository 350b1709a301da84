// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QString>

namespace kestrine {

// Result codes of opening a link: above kLinkOpenedThreshold is success; the
// failures keep the numbers users and help pages have long known them by.
inline constexpr int kLinkOpenedThreshold = 32;
inline constexpr int kLinkOpened = 33;
inline constexpr int kLinkFileNotFound = 2;
inline constexpr int kLinkNoAssociation = 31;

// The part of a handler's command line before the place where the address
// goes: a quoted "%1", else %1, else a desktop entry's %u, %U, %f or %F
// (quoted or not). The whole command when it has none.
QString commandBeforePlaceholder(const QString& command);

// The command line that opens address with a handler: the part before the
// placeholder, one space, the address unquoted.
QString handlerCommandLine(const QString& command, const QString& address);

// Why opening pathOrAddress failed, as a result code: a local file that is
// not there, else no program to open it with.
int openFailureCode(const QString& pathOrAddress);

// What went wrong, for a failed opening's result code.
QString linkErrorMessage(int code);

// The whole text of the box shown when a link could not be opened.
QString linkErrorText(int code);

} // namespace kestrine

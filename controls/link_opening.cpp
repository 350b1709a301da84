// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "controls/link_opening.h"

#include <QFileInfo>
#include <QUrl>

#include <array>
#include <utility>

namespace kestrine {

namespace {

constexpr std::array<std::pair<int, const char*>, 13> kErrorMessages{{
    {0, "The operating system is out\nof memory or resources."},
    {2, "The specified file was not found."},
    {3, "The specified path was not found."},
    {5, "The operating system denied\naccess to the specified file."},
    {8, "There was not enough memory to complete the operation."},
    {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
    {26, "A sharing violation occurred."},
    {27, "The filename association is\nincomplete or invalid."},
    {28, "The DDE transaction could not\nbe completed because the request timed out."},
    {29, "The DDE transaction failed."},
    {30, "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed."},
    {31, "There is no application associated\nwith the given filename extension."},
    {32, "The specified dynamic-link library was not found."},
}};

// Earliest first: a quoted placeholder wins over the same one unquoted.
constexpr std::array<const char*, 10> kPlaceholders{
    "\"%1\"", "%1", "\"%u\"", "\"%U\"", "\"%f\"", "\"%F\"", "%u", "%U", "%f", "%F",
};

} // namespace

QString commandBeforePlaceholder(const QString& command)
{
    for (const char* placeholder : kPlaceholders) {
        const qsizetype at = command.indexOf(QLatin1String(placeholder));
        if (at >= 0)
            return command.left(at);
    }
    return command;
}

QString handlerCommandLine(const QString& command, const QString& address)
{
    return commandBeforePlaceholder(command) + QLatin1Char(' ') + address;
}

int openFailureCode(const QString& pathOrAddress)
{
    const QUrl url = QUrl::fromUserInput(pathOrAddress, QString(), QUrl::AssumeLocalFile);
    if (url.isLocalFile() && !QFileInfo::exists(url.toLocalFile()))
        return kLinkFileNotFound;
    return kLinkNoAssociation;
}

QString linkErrorMessage(int code)
{
    for (const auto& [known, message] : kErrorMessages) {
        if (known == code)
            return QString::fromLatin1(message);
    }
    return QStringLiteral("Unknown Error (%1) occurred.").arg(code);
}

QString linkErrorText(int code)
{
    return QStringLiteral("Unable to open hyperlink:\n\n") + linkErrorMessage(code);
}

} // namespace kestrine

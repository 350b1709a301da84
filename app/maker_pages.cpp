// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/maker_pages.h"

#include "controls/resource_paths.h"

#include <QCoreApplication>
#include <QDir>

namespace kestrine {

QString helpPagePath(const QString& page)
{
    // Where the help is, built or installed; where it is not, the first place
    // looked, so that the failure to open it names a real path.
    const HelpLookup help = findHelpPage(QCoreApplication::applicationDirPath(), page);
    return help.page.isEmpty() ? QDir(help.searched.value(0)).filePath(page) : help.page;
}

QString makerPageAddress(const QString& configured)
{
    const QString address = configured.trimmed();
    return address.isEmpty() ? helpPagePath(QString::fromLatin1(kAboutHelpPage)) : address;
}

QString homePageAddress()
{
    return makerPageAddress(QStringLiteral(KESTRINE_HOME_PAGE_URL));
}

QString contactPageAddress()
{
    return makerPageAddress(QStringLiteral(KESTRINE_CONTACT_URL));
}

QString homePageText()
{
    const QString configured = QStringLiteral(KESTRINE_HOME_PAGE_URL).trimmed();
    return configured.isEmpty() ? QStringLiteral("About Kestrine, in its help") : configured;
}

} // namespace kestrine

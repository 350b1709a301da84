// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "platform/widgets/desktop_shell.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace kestrine {

bool DesktopShell::openDocument(const QString& pathOrAddress)
{
    const QUrl url = QFileInfo::exists(pathOrAddress) ? QUrl::fromLocalFile(pathOrAddress)
                                                      : QUrl::fromUserInput(pathOrAddress);
    return QDesktopServices::openUrl(url);
}

bool DesktopShell::runProgram(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

bool DesktopShell::canOpenForReading(const QString& path) const
{
    QFile file(path);
    return !path.isEmpty() && QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly);
}

bool DesktopShell::fileExists(const QString& path) const
{
    return QFileInfo::exists(path);
}

bool DesktopShell::isRegularFile(const QString& path) const
{
    return QFileInfo(path).isFile();
}

} // namespace kestrine

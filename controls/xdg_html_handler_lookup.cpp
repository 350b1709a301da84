// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "controls/xdg_html_handler_lookup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace kestrine {

namespace {

// Long enough for a slow first start of xdg-mime, short enough that a broken
// one does not freeze the window for long.
constexpr int kQueryTimeoutMs = 3000;

QString defaultHtmlDesktopId()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (program.isEmpty())
        return {};
    QProcess query;
    query.start(program, {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
    if (!query.waitForFinished(kQueryTimeoutMs)) {
        query.kill();
        query.waitForFinished();
        return {};
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
}

} // namespace

QString XdgHtmlHandlerLookup::commandLine() const
{
    const QString id = defaultHtmlDesktopId();
    if (id.isEmpty())
        return {};
    const QString path = findDesktopEntry(id, dataDirs());
    if (path.isEmpty())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return execLine(QString::fromUtf8(file.readAll()));
}

QString XdgHtmlHandlerLookup::execLine(const QString& desktopEntry)
{
    bool inMainGroup = false;
    const QStringList lines = desktopEntry.split(QLatin1Char('\n'));
    for (const QString& rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMainGroup || !line.startsWith(QLatin1String("Exec")))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0 || line.left(equals).trimmed() != QLatin1String("Exec"))
            continue;
        return line.mid(equals + 1).trimmed();
    }
    return {};
}

QString XdgHtmlHandlerLookup::findDesktopEntry(const QString& id, const QStringList& dataDirs)
{
    if (id.isEmpty() || id.contains(QLatin1Char('/')))
        return {};
    QStringList candidates{id};
    // "vendor-name.desktop" may live as applications/vendor/name.desktop.
    QString nested = id;
    for (qsizetype dash = nested.indexOf(QLatin1Char('-')); dash > 0;
         dash = nested.indexOf(QLatin1Char('-'), dash + 1)) {
        QString candidate = nested;
        candidate[dash] = QLatin1Char('/');
        candidates.append(candidate);
    }
    for (const QString& dir : dataDirs) {
        for (const QString& candidate : candidates) {
            const QString path = QDir(dir).filePath(QStringLiteral("applications/") + candidate);
            if (QFileInfo(path).isFile())
                return path;
        }
    }
    return {};
}

QStringList XdgHtmlHandlerLookup::dataDirs()
{
    QStringList dirs;
    const QString home = qEnvironmentVariable("XDG_DATA_HOME");
    dirs.append(home.isEmpty() ? QDir::home().filePath(QStringLiteral(".local/share")) : home);
    QString system = qEnvironmentVariable("XDG_DATA_DIRS");
    if (system.isEmpty())
        system = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& dir : system.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        dirs.append(dir);
    return dirs;
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/playlist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>
#include <QUrl>

namespace kestrine {

namespace {

QString decodePlaylist(const QByteArray& bytes, bool utf8Only)
{
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(body);
    if (utf8Only || !utf8.hasError())
        return text;
    return QString::fromLatin1(body);
}

// One playlist entry as an absolute path; empty for entries that are not files.
QString resolveEntry(const QString& entry, const QDir& folder)
{
    const QString trimmed = entry.trimmed();
    if (trimmed.isEmpty())
        return {};
    if (trimmed.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive))
        return QUrl(trimmed).toLocalFile();
    // Addresses of streams cannot be joined.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+://"));
    if (scheme.match(trimmed).hasMatch())
        return {};
    QString path = trimmed;
#ifndef Q_OS_WIN
    // Playlists written on Windows use backslashes.
    if (!QFileInfo::exists(folder.filePath(path)) && path.contains(QLatin1Char('\\')))
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
#endif
    return QDir::cleanPath(folder.absoluteFilePath(path));
}

} // namespace

PlaylistEntries readPlaylist(const QString& playlistPath)
{
    PlaylistEntries entries;
    QFile file(playlistPath);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    entries.readable = true;
    const QString suffix = QFileInfo(playlistPath).suffix().toLower();
    const QString text = decodePlaylist(file.readAll(), suffix == QStringLiteral("m3u8"));
    const QDir folder = QFileInfo(playlistPath).absoluteDir();
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));

    const bool pls = suffix == QStringLiteral("pls")
                     || text.trimmed().startsWith(QStringLiteral("[playlist]"), Qt::CaseInsensitive);
    if (pls) {
        // FileN=... lines, in the order of N.
        static const QRegularExpression fileLine(QStringLiteral("^\\s*File(\\d+)\\s*=(.*)$"),
                                                 QRegularExpression::CaseInsensitiveOption);
        QMap<int, QString> numbered;
        for (const QString& line : lines) {
            const QRegularExpressionMatch match = fileLine.match(line);
            if (match.hasMatch())
                numbered.insert(match.captured(1).toInt(), match.captured(2));
        }
        for (const QString& entry : std::as_const(numbered)) {
            const QString path = resolveEntry(entry, folder);
            if (!path.isEmpty())
                entries.paths.append(path);
        }
        return entries;
    }
    for (const QString& line : lines) {
        if (line.trimmed().startsWith(QLatin1Char('#')))
            continue;
        const QString path = resolveEntry(line, folder);
        if (!path.isEmpty())
            entries.paths.append(path);
    }
    return entries;
}

bool writeM3u8Playlist(const QString& playlistPath, const ClipList& list)
{
    const QDir folder = QFileInfo(playlistPath).absoluteDir();
    QString text = QStringLiteral("#EXTM3U\n");
    for (const ClipItem& item : list.items()) {
        const QString absolute = QFileInfo(item.path).absoluteFilePath();
        QString written = folder.relativeFilePath(absolute);
        if (written.startsWith(QStringLiteral("../")) || QDir::isAbsolutePath(written))
            written = QDir::toNativeSeparators(absolute);
        text += QStringLiteral("#EXTINF:%1,%2\n%3\n")
                    .arg(clipSecondsText(item.duration), QFileInfo(item.path).completeBaseName(), written);
    }
    QSaveFile file(playlistPath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text.toUtf8());
    return file.commit();
}

} // namespace kestrine

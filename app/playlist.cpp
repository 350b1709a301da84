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

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kestrine {

namespace {

QString decodePlaylist(const QByteArray& bytes, bool utf8Only)
{
    // Some Windows programs write their playlists in UTF-16, always with a mark.
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        return utf16.decode(bytes.mid(2));
    }
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(body);
    if (utf8Only || !utf8.hasError())
        return text;
    return QString::fromLatin1(body);
}

// Text has line breaks and tabs among its control characters, and nothing
// else below the space: other bytes there make it a binary file.
bool looksLikeText(const QString& text)
{
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code < 0x20 && code != u'\n' && code != u'\r' && code != u'\t' && code != u'\f')
            return false;
    }
    return true;
}

// The playlist's bytes, if it is a regular file no larger than the limit.
QByteArray readBytes(const QString& path, PlaylistEntries& entries)
{
#ifdef Q_OS_WIN
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        entries.problem = PlaylistProblem::NotRegularFile;
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        entries.problem = PlaylistProblem::CannotOpen;
        entries.reason = file.errorString();
        return {};
    }
    if (file.size() > kMostPlaylistBytes) {
        entries.problem = PlaylistProblem::TooLarge;
        return {};
    }
    return file.read(kMostPlaylistBytes);
#else
    // Opened without blocking, and looked at through the open file itself:
    // opening a pipe waits for a writer, and a name checked first could be
    // another file by the time it is opened.
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        entries.problem = PlaylistProblem::CannotOpen;
        entries.reason = QString::fromLocal8Bit(std::strerror(errno));
        return {};
    }
    QByteArray bytes;
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        entries.problem = PlaylistProblem::CannotOpen;
        entries.reason = QString::fromLocal8Bit(std::strerror(errno));
    } else if (!S_ISREG(status.st_mode)) {
        entries.problem = PlaylistProblem::NotRegularFile;
    } else if (status.st_size > kMostPlaylistBytes) {
        entries.problem = PlaylistProblem::TooLarge;
    } else {
        // A file that grows while it is read is still cut at the limit.
        bytes.resize(static_cast<qsizetype>(status.st_size));
        qsizetype filled = 0;
        while (filled < bytes.size()) {
            const ssize_t got = ::read(fd, bytes.data() + filled, static_cast<std::size_t>(bytes.size() - filled));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0) {
                entries.problem = PlaylistProblem::CannotOpen;
                entries.reason = QString::fromLocal8Bit(std::strerror(errno));
                bytes.clear();
                break;
            }
            if (got == 0)
                break;
            filled += got;
        }
        bytes.truncate(filled);
    }
    ::close(fd);
    return bytes;
#endif
}

// One playlist entry as an absolute path; empty for entries that are not files.
QString resolveEntry(const QString& entry, const QDir& folder)
{
    const QString trimmed = entry.trimmed();
    if (trimmed.isEmpty())
        return {};
    if (trimmed.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) {
        // "file:music/a.mp3" is as relative to the playlist as "music/a.mp3".
        const QString local = QUrl(trimmed).toLocalFile();
        return local.isEmpty() ? QString() : QDir::cleanPath(folder.absoluteFilePath(local));
    }
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
    const QByteArray bytes = readBytes(playlistPath, entries);
    if (entries.problem != PlaylistProblem::None)
        return entries;
    const QString suffix = QFileInfo(playlistPath).suffix().toLower();
    const QString text = decodePlaylist(bytes, suffix == QStringLiteral("m3u8"));
    if (!looksLikeText(text)) {
        entries.problem = PlaylistProblem::NotText;
        return entries;
    }
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

QString playlistProblemText(const QString& playlistPath, const PlaylistEntries& entries)
{
    const QString name = QDir::toNativeSeparators(playlistPath);
    switch (entries.problem) {
    case PlaylistProblem::None:
        return entries.paths.isEmpty() ? QStringLiteral("The playlist %1 holds no files.").arg(name) : QString();
    case PlaylistProblem::CannotOpen:
        return QStringLiteral("Cannot read the playlist %1: %2").arg(name, entries.reason);
    case PlaylistProblem::NotRegularFile:
        return QStringLiteral("Cannot read the playlist %1: it is not a regular file.").arg(name);
    case PlaylistProblem::TooLarge:
        return QStringLiteral("Cannot read the playlist %1: it is larger than %2 MB, too large for a playlist.")
            .arg(name)
            .arg(kMostPlaylistBytes / (1024 * 1024));
    case PlaylistProblem::NotText:
        return QStringLiteral("%1 is not a playlist.").arg(name);
    }
    return {};
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

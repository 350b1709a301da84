// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/media_file_types.h"

#include "media/render_plan.h"
#include "output/framework/path_bytes.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <algorithm>

namespace kestrine {

namespace {

const char* const kClassicExtensions[] = {
    "asf", "wma", "wmv", "avi", "vob", "qt", "mov", "mpg", "mpeg", "dat", "mp4", "divx", "div",
    "ogm", "wav", "mpa", "mp2", "mp3", "au", "aif", "aiff", "snd", "ogg", "ac3",
};

// Formats the decoder reads that users meet every day but the classic list
// never named.
const char* const kMoreExtensions[] = {
    "flac", "m4a", "m4b", "aac", "opus", "oga", "mka", "mkv", "webm", "m4v", "3gp", "ts",
    "mts", "m2ts", "flv", "ogv", "aifc", "caf", "w64", "wv", "ape", "mpc", "tta", "amr",
    "eac3", "dts", "mp1", "voc", "spx",
};

} // namespace

int naturalCompare(const QString& a, const QString& b)
{
    // Runs of digits compare by their value, everything else without case.
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype endA = i;
            qsizetype endB = j;
            while (endA < a.size() && a[endA].isDigit())
                ++endA;
            while (endB < b.size() && b[endB].isDigit())
                ++endB;
            QStringView numberA = QStringView(a).mid(i, endA - i);
            QStringView numberB = QStringView(b).mid(j, endB - j);
            while (numberA.size() > 1 && numberA.front() == QLatin1Char('0'))
                numberA = numberA.mid(1);
            while (numberB.size() > 1 && numberB.front() == QLatin1Char('0'))
                numberB = numberB.mid(1);
            if (numberA.size() != numberB.size())
                return numberA.size() < numberB.size() ? -1 : 1;
            if (const int order = numberA.compare(numberB); order != 0)
                return order < 0 ? -1 : 1;
            i = endA;
            j = endB;
            continue;
        }
        const QChar left = a[i].toCaseFolded();
        const QChar right = b[j].toCaseFolded();
        if (left != right)
            return left < right ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

QStringList mediaFilePatterns()
{
    QStringList patterns;
    for (const char* extension : kClassicExtensions)
        patterns.append(QStringLiteral("*.") + QString::fromLatin1(extension));
    for (const char* extension : kMoreExtensions)
        patterns.append(QStringLiteral("*.") + QString::fromLatin1(extension));
    return patterns;
}

bool isMediaFileName(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix.isEmpty())
        return false;
    return mediaFilePatterns().contains(QStringLiteral("*.") + suffix);
}

QStringList expandFolders(const QStringList& paths)
{
    QStringList expanded;
    for (const QString& path : paths) {
        if (!QFileInfo(path).isDir()) {
            expanded.append(path);
            continue;
        }
        const QDir folder(path);
        QStringList found;
        QDirIterator it(path, QDir::Files | QDir::Readable | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            if (isMediaFileName(file))
                found.append(folder.relativeFilePath(file));
        }
        // Folder by folder: the separator sorts before any name character.
        std::sort(found.begin(), found.end(), [](const QString& a, const QString& b) {
            const QStringList left = a.split(QLatin1Char('/'));
            const QStringList right = b.split(QLatin1Char('/'));
            for (qsizetype i = 0; i < std::min(left.size(), right.size()); ++i) {
                if (left[i] == right[i])
                    continue;
                // A file comes before a subfolder of the same folder.
                const bool leftIsFile = i == left.size() - 1;
                const bool rightIsFile = i == right.size() - 1;
                if (leftIsFile != rightIsFile)
                    return leftIsFile;
                const int order = naturalCompare(left[i], right[i]);
                return order != 0 ? order < 0 : left[i] < right[i];
            }
            return left.size() < right.size();
        });
        for (const QString& file : found)
            expanded.append(folder.filePath(file));
    }
    return expanded;
}

QString outputFormatName(const QString& path)
{
    // The engine's own choice decides; every format but WAV is named by its extension.
    if (outputFormatFor(pathToBytes(path)).encoding == Encoding::Wav)
        return QStringLiteral("wav");
    return QFileInfo(path).suffix().toLower();
}

} // namespace kestrine

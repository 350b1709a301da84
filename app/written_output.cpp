// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/written_output.h"

#include "output/duration_probe.h"
#include "output/framework/path_bytes.h"
#include "platform/shell.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace kestrine {

namespace {

// A WAV (or RF64) file whose data chunk is the last thing in it and empty:
// what a join leaves when it stops before any sound is complete. Measuring
// finds no sound stream in it, but it is no broken file.
bool isWavWithoutSamples(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray riff = file.read(12);
    if (riff.size() < 12 || (!riff.startsWith("RIFF") && !riff.startsWith("RF64")) ||
        riff.mid(8, 4) != "WAVE")
        return false;
    qint64 position = 12;
    // A header holds a handful of chunks; more is not a header we wrote.
    for (int chunk = 0; chunk < 16; ++chunk) {
        if (!file.seek(position))
            return false;
        const QByteArray header = file.read(8);
        if (header.size() < 8)
            return false;
        if (header.startsWith("data"))
            return file.size() == position + 8;
        const quint32 size = qFromLittleEndian<quint32>(header.constData() + 4);
        position += 8 + size + (size & 1);
    }
    return false;
}

} // namespace

WrittenOutput inspectWrittenOutput(MediaFramework& framework, const Shell& shell,
                                   const QString& path, const FileStamp& before)
{
    if (!shell.fileExists(path))
        return {WrittenOutput::Kind::NoFile, 0};
    // A join that wrote nothing leaves an earlier file where it was.
    if (outputLeft(pathToBytes(path), before) == OutputLeft::Unchanged)
        return {WrittenOutput::Kind::Unchanged, 0};
    if (!shell.isRegularFile(path))
        return {WrittenOutput::Kind::NoFile, 0};
    if (!shell.canOpenForReading(path))
        return {WrittenOutput::Kind::Unreadable, 0};
    const ProbeOutcome measured = probeDuration(framework, pathToBytes(path));
    if (measured.failure != ProbeFailure::None)
        return {isWavWithoutSamples(path) ? WrittenOutput::Kind::NoSound
                                          : WrittenOutput::Kind::Unreadable,
                0};
    if (measured.duration <= 0)
        return {WrittenOutput::Kind::NoSound, 0};
    return {WrittenOutput::Kind::Sound, measured.duration};
}

QString describeWrittenOutput(const WrittenOutput& written, const QString& path)
{
    switch (written.kind) {
    case WrittenOutput::Kind::Sound:
        return QStringLiteral("%1 holds the first %2.").arg(path, lengthText(written.length));
    case WrittenOutput::Kind::NoSound:
        return QStringLiteral("%1 holds no sound.").arg(path);
    case WrittenOutput::Kind::Unreadable:
        return QStringLiteral("%1 is left, but does not read as a sound file.").arg(path);
    case WrittenOutput::Kind::Unchanged:
        return QStringLiteral("Nothing was written: %1 is as it was before.").arg(path);
    case WrittenOutput::Kind::NoFile:
        break;
    }
    return QStringLiteral("No file was written to %1.").arg(path);
}

QString lengthText(MediaTime length)
{
    const qint64 seconds = std::max<MediaTime>(length, 0) / kUnitsPerSecond;
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds % 3600 / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <ostream>

// Readable texts in the failures of this folder's tests.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// The tree that `cmake --install` wrote into a folder of its own (the
// install.setup test), with prefix /usr.
namespace kestrine::testing {

struct ProgramRun {
    bool finished = false;
    int exitCode = -1;
    QString out;
    QString err;
};

inline QString installedPath(const QString& relative)
{
    return QDir(QStringLiteral(KESTRINE_INSTALL_ROOT "/usr")).filePath(relative);
}

inline ProgramRun
runProgram(const QString& program, const QStringList& arguments,
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
           const QString& workingFolder = QString())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!workingFolder.isEmpty())
        process.setWorkingDirectory(workingFolder);
    process.start(program, arguments);
    ProgramRun run;
    if (!process.waitForFinished(120'000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    }
    run.finished = true;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The text of a gzip-compressed file, through the system's gzip.
inline QString gunzipped(const QString& path)
{
    return runProgram(QStringLiteral("gzip"), {QStringLiteral("-dc"), path}).out;
}

} // namespace kestrine::testing

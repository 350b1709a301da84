// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace kestrine::testing {

// What the built kestrine-join printed and how it ended.
struct ProgramRun {
    int exitCode = -1; // -1 when it did not end by itself within two minutes
    QString out;
    QString err;
};

// Runs the built program, as a script would run it.
inline ProgramRun runProgram(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(KESTRINE_JOIN_PATH), arguments);
    ProgramRun run;
    if (!process.waitForFinished(120'000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace kestrine::testing

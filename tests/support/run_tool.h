// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// Another program asked about what Kestrine wrote: its exit code and both
// its outputs. A program that cannot start, crashes or takes past two
// minutes leaves exitCode at -1.
namespace kestrine::testing {

struct Tool {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline Tool runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    Tool tool;
    if (!process.waitForFinished(120'000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        return tool;
    }
    tool.exitCode = process.exitCode();
    tool.out = process.readAllStandardOutput();
    tool.err = process.readAllStandardError();
    return tool;
}

} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "tests/support/test_media.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <csignal>
#include <string>
#include <thread>

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

// Runs the built program and interrupts it as Ctrl-C would, once the partial
// WAV it writes at `partial` claims some of the join.
inline ProgramRun interruptProgram(const QStringList& arguments, const std::string& partial)
{
    QProcess process;
    process.start(QStringLiteral(KESTRINE_JOIN_PATH), arguments);
    ProgramRun run;
    if (!process.waitForStarted())
        return run;
    for (int i = 0; i < 2000 && testmedia::readWav(partial).headerFrames <= 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    if (!process.waitForFinished(60'000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

} // namespace kestrine::testing

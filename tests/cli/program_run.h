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
    int exitCode = -1; // -1 when it did not end by itself in the time given
    QString out;
    QString err;
};

// How the started program ends within `waitMs`; it is killed if it does not.
inline ProgramRun endOf(QProcess& process, int waitMs)
{
    ProgramRun run;
    if (!process.waitForFinished(waitMs) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Runs the built program, as a script would run it.
inline ProgramRun runProgram(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(KESTRINE_JOIN_PATH), arguments);
    return endOf(process, 120'000);
}

// Runs the built program and interrupts it as Ctrl-C would, once the partial
// WAV it writes at `partial` claims some of the join.
inline ProgramRun interruptProgram(const QStringList& arguments, const std::string& partial)
{
    QProcess process;
    process.start(QStringLiteral(KESTRINE_JOIN_PATH), arguments);
    if (!process.waitForStarted())
        return {};
    for (int i = 0; i < 2000 && testmedia::readWav(partial).headerFrames <= 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    return endOf(process, 60'000);
}

} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Another program asked about what Kestrine wrote: its exit code and both
// its outputs. A program that cannot start, crashes or takes past two
// minutes leaves exitCode at -1.
//
// Started with posix_spawn rather than QProcess: QProcess starts its child
// in the parent's memory (a vfork), where the thread sanitizer's own code
// runs on the parent's state and leaves it confused, so that every later
// lock looked unheld and a join's workers reported races that are not.
namespace kestrine::testing {

struct Tool {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Tool runTool(const QString& program, const QStringList& arguments, int timeoutMs = 120'000);

} // namespace kestrine::testing

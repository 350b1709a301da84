// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "platform/shell.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QPair>

namespace kestrine::testing {

// Records what the program asks of the shell and starts nothing. File tests
// look at the real file system, which tests fill in temporary folders.
class FakeShell : public Shell {
public:
    bool openDocument(const QString& pathOrAddress) override
    {
        openedDocuments.append(pathOrAddress);
        return openSucceeds;
    }
    bool runProgram(const QString& program, const QStringList& arguments) override
    {
        startedPrograms.append({program, arguments});
        return runSucceeds;
    }
    bool canOpenForReading(const QString& path) const override
    {
        QFile file(path);
        return QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly);
    }
    bool fileExists(const QString& path) const override { return QFileInfo::exists(path); }
    bool isRegularFile(const QString& path) const override { return QFileInfo(path).isFile(); }

    bool openSucceeds = true;
    bool runSucceeds = true;
    QStringList openedDocuments;
    QList<QPair<QString, QStringList>> startedPrograms;
};

} // namespace kestrine::testing

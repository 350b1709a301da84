// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QString>
#include <QStringList>

namespace kestrine {

// What the program asks of the operating system's shell and file system.
class Shell {
public:
    virtual ~Shell() = default;

    // Opens a file or web address with the user's default application.
    virtual bool openDocument(const QString& pathOrAddress) = 0;
    // Starts a program detached; true when it started.
    virtual bool runProgram(const QString& program, const QStringList& arguments) = 0;

    virtual bool canOpenForReading(const QString& path) const = 0;
    virtual bool fileExists(const QString& path) const = 0;
    // A plain file, not a folder or a device; links count as what they point to.
    virtual bool isRegularFile(const QString& path) const = 0;
};

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace kestrine {

// What the window was started with: the files a file manager's "Open with"
// or a terminal hands over, or a request answered on the terminal alone.
struct CommandLine {
    bool help = false;
    bool version = false;
    // Test builds only: print the listed rows once the start files are added, then quit.
    bool listAndQuit = false;
    // Test builds only: once the start files are added, print where each row
    // and the Exit button are in the window; when it closes, print the list
    // and the rows the window shows.
    bool reportList = false;
    // Absolute paths, in the order given.
    QStringList files;
    // The first argument the program does not know, if any.
    QString error;
};

// Reads the arguments after the program's name, as the system's bytes.
// Relative file names are taken from currentFolder, so the list shows where
// each file really is.
CommandLine parseCommandLine(const std::vector<std::string>& arguments, const QString& currentFolder);

QString commandLineUsage(const QString& program);

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace kestrine {

struct JoinOptions {
    QString output;
    bool overwrite = false;
    QStringList files;
    bool help = false;
    bool version = false;
    bool measureOnly = false; // print each file's length instead of joining
    bool markers = true;      // a marker inside the output where each file starts
    QString cueSheet;         // a cue sheet to write once the join is complete
    QString labelList;        // a label list, likewise
    bool tags = true;         // tags and a cover, from the sources and the options below
    std::string title;        // the output's tags, as the system's bytes; empty: the sources'
    std::string artist;
    std::string album;
    QString cover;            // an image to use as the cover
};

struct ParsedJoinOptions {
    JoinOptions options;
    QString error; // empty when the arguments made sense
};

// arguments without the program's own name, as the system's bytes.
ParsedJoinOptions parseJoinOptions(const std::vector<std::string>& arguments);

QString joinUsage(const QString& program);

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_framework.h"

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
    // The output's format as asked for; what is not asked follows the
    // sources. A value given as 0 is kept as -1: asked for, and impossible.
    AudioFormatRequest format;
};

struct ParsedJoinOptions {
    JoinOptions options;
    QString error; // empty when the arguments made sense
};

// arguments without the program's own name, as the system's bytes.
ParsedJoinOptions parseJoinOptions(const std::vector<std::string>& arguments);

// Why the format options cannot be written into the output's format, in a
// sentence that names the option and the values allowed; empty when they can.
QString formatOptionsProblem(const JoinOptions& options);

QString joinUsage(const QString& program);

} // namespace kestrine

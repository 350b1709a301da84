// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QString>

#include <string>
#include <vector>

namespace kestrine {

// Every file one join writes, as the system's bytes: the output, and the
// lists of where each source starts that go beside it once it is complete.
struct JoinPaths {
    std::string output;
    std::string cueSheet;  // empty for none
    std::string labelList; // empty for none
};

// What stops a join from writing one of its paths, found before any source
// is read, so that a long join is not lost to a mistake in a name.
struct JoinPathProblem {
    enum class Kind {
        None,
        NoOutputName,
        UnwritableFormat, // the output's extension names a media format Kestrine does not write
        IsSource,         // the path, or its partial file, is one of the sources
        NotRegularFile,   // a folder, a device or a pipe stands at the path
        PartialInTheWay,  // something that is no regular file stands at its partial file's name
        SameFile,         // two paths, or their partial files, are one file
        NoFolder,         // the folder the file would go in does not exist
        CannotWrite,      // the folder does not let the file be written; error says why
        NameTooLong,      // the name is longer than the system allows
        LinkLoop,         // the path's links lead round in a loop
        LinkIntoNowhere,  // a link at the path leads into a folder that does not exist
        CannotLookUp,     // the system would not say what is there; error says why
        TooManyCueTracks, // a cue sheet holds at most 99 tracks
    };
    enum class Role { Output, CueSheet, LabelList };

    Kind kind = Kind::None;
    Role role = Role::Output;
    std::string path;  // the path concerned, as given
    Role otherRole = Role::Output;
    std::string other; // the second path of a SameFile; the obstacle, folder or link target otherwise
    bool otherIsPartial = false; // SameFile: `path` is the partial file `other` is written into
    int error = 0;               // errno for CannotWrite and CannotLookUp
    std::size_t sourceCount = 0; // TooManyCueTracks

    explicit operator bool() const { return kind != Kind::None; }
};

// Checks every path `paths` names against the sources and against each other,
// following links as writing would, without creating or changing anything.
// An existing file at a path is no problem here: whether it may be replaced
// is the front end's question.
JoinPathProblem checkJoinPaths(const JoinPaths& paths, const std::vector<std::string>& sources);

// The problem in one sentence that names the paths concerned.
QString joinPathProblemText(const JoinPathProblem& problem);

} // namespace kestrine

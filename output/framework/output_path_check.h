// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kestrine {

// A file as the system knows it: two names with the same identity name the
// same file, however they are spelled.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file `path` names, links followed; none when there is
// no such file or it cannot be looked at.
std::optional<FileIdentity> identityOf(const std::string& path);

// Whether a join may write `output` while it reads `sources`, asked before
// anything is created or removed. Files are compared as the system knows
// them, by device and inode, so another spelling of a path, a link or a bind
// mount cannot hide a source. result::kOutputIsSource when the output (or
// the partial file written beside it) is one of the sources, or when that
// cannot be told; result::kOutputNotRegularFile when the output exists and is
// not a regular file (a folder, a device, a pipe).
MediaResult checkOutputPath(const std::string& output, const std::vector<std::string>& sources);

// Whether a file that a join writes beside its output (a cue sheet, a label
// list) may be written at `path`: as checkOutputPath against the sources, and
// neither the same file nor the same name as any of `written` (the output and
// the other side files), which may not exist yet. result::kOutputIsSource for
// a clash.
MediaResult checkSideFilePath(const std::string& path, const std::vector<std::string>& written,
                              const std::vector<std::string>& sources);

// Where writing `path` really lands. A link at `path` is followed, link by
// link, to the name it leads to, whether or not a file stands there yet:
// writing through a link replaces the file it names and keeps the link.
struct WriteTarget {
    std::string path; // `path` itself, or the name its links lead to
    int error = 0;    // 0, or the errno that stops the writing: ELOOP for a
                      // loop of links, ENAMETOOLONG, ENOENT or ENOTDIR when
                      // the folder the file would go in does not exist,
                      // EACCES when it cannot be looked into
};
WriteTarget writeTargetOf(const std::string& path);

// The folder a path's last name is in, as the system would look it up.
std::string folderOf(const std::string& path);

// The unfinished file a join writes beside its output, put in the output's
// place only when the join ends: the output's name and ".part". A name too
// long for that keeps as much of itself as fits, and a digest of the whole
// name tells two such names apart.
std::string partialPathOf(const std::string& output);

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/output_path_check.h"

#include <cstdint>
#include <string>

namespace kestrine {

// Enough of a file's state to tell afterwards whether anything replaced or
// changed it: a join's new file takes the old one's place under a new
// identity, and a file written in place changes its times.
struct FileStamp {
    bool exists = false;
    FileIdentity identity;
    std::int64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of the file `path` names, links followed; exists is false when
// there is none.
FileStamp stampFile(const std::string& path);

// What a join that did not complete left at its output path.
enum class OutputLeft {
    Nothing,   // no file at all
    Unchanged, // the file that was there before, untouched
    Written,   // a file the join wrote
};

// Asked once the join's file is closed; before is the path's stamp from
// when the join started.
OutputLeft outputLeft(const std::string& path, const FileStamp& before);

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_result.h"

#include <cstdint>
#include <memory>
#include <string>

namespace kestrine {

// The file a render writes into beside its output, and that takes the
// output's place in one step once it is complete: whatever stood at the
// output path stays whole until then.
//
// While a join writes its partial file it holds a lock on it, so that a
// second join to the same output neither writes into that file nor removes
// it: the second is refused. A partial file that nobody holds is what a
// killed join left, and the next join takes it over.
struct PartialFile {
    int fd = -1;
    std::string target;      // the output, with a link at its path followed
    std::string partialPath; // the partial file beside it
    // Holds the lock until the file has its place or is removed; a
    // descriptor of its own, so that closing `fd` can still report errors.
    std::shared_ptr<const int> lock;
};

// Creates the partial file for `path`, empty. result::kOutputNotRegularFile
// when something other than a regular file stands at the path,
// result::kOutputBusy when another join writes the same partial file now,
// FFmpeg's code for ELOOP or ENAMETOOLONG for a path that cannot be written
// through, result::kCannotCreateOutput or result::kDiskFull when creating
// fails, and then no file is left behind.
MediaResult createPartialFile(const std::string& path, PartialFile& file);

// Puts what is written on the disk and the file in the output's place, and
// closes it. result::kOutputLost when the partial file or its folder was
// removed meanwhile.
MediaResult commitPartialFile(PartialFile& file);

// Closes and removes the partial file; whatever stood at the output path stays.
void discardPartialFile(PartialFile& file);

// Writes all of `data` at `offset`, whatever the kernel takes at a time.
MediaResult writeAll(int fd, const std::uint8_t* data, std::uint64_t size, std::uint64_t offset);

// Our code for a failed write's errno.
MediaResult resultOfWriteError(int error);

} // namespace kestrine

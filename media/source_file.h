// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_result.h"

#include <cstdint>
#include <string>

namespace kestrine {

// Sources are regular files and nothing else: opening a pipe or a device
// named like a sound file would wait for a writer that never comes.
// result::kSourceNotRegularFile for those; FFmpeg's code for the system's
// error (AVERROR(ENOENT), AVERROR(EACCES) ...) when the file cannot be read.
MediaResult checkSourceFile(const std::string& path);

// Opens a source for reading without ever blocking on what it turns out to
// be; on success `fd` is the caller's to close.
MediaResult openSourceFile(const std::string& path, int& fd);

// Reads exactly `size` bytes from `offset` of an open source, through
// interruptions. result::kSourceShrank when the file ends first; FFmpeg's
// code for the system's error.
MediaResult readSourceAt(int fd, std::uint8_t* into, std::size_t size, std::uint64_t offset);

// The size in bytes a source has now; -1 when it cannot be told.
std::int64_t sourceFileSize(const std::string& path);

} // namespace kestrine

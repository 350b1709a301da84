// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/file_stamp.h"

#include <sys/stat.h>

namespace kestrine {
namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

std::int64_t nanoseconds(const timespec& time)
{
    return static_cast<std::int64_t>(time.tv_sec) * kNanosecondsPerSecond + time.tv_nsec;
}

} // namespace

FileStamp stampFile(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return {};
    FileStamp stamp;
    stamp.exists = true;
    stamp.identity = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
    stamp.size = static_cast<std::int64_t>(status.st_size);
    stamp.modifiedNs = nanoseconds(status.st_mtim);
    stamp.changedNs = nanoseconds(status.st_ctim);
    return stamp;
}

OutputLeft outputLeft(const std::string& path, const FileStamp& before)
{
    const FileStamp now = stampFile(path);
    if (!now.exists)
        return OutputLeft::Nothing;
    return before.exists && now == before ? OutputLeft::Unchanged : OutputLeft::Written;
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/source_file.h"

#include "media/ffmpeg.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kestrine {

MediaResult checkSourceFile(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return AVERROR(errno);
    return S_ISREG(status.st_mode) ? result::kOk : result::kSourceNotRegularFile;
}

MediaResult openSourceFile(const std::string& path, int& fd)
{
    // Not blocking: a pipe opened for reading would otherwise wait for a writer.
    const int opened = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (opened < 0)
        return AVERROR(errno);
    struct stat status {};
    if (::fstat(opened, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(opened);
        return result::kSourceNotRegularFile;
    }
    fd = opened;
    return result::kOk;
}

MediaResult readSourceAt(int fd, std::uint8_t* into, std::size_t size, std::uint64_t offset)
{
    std::size_t got = 0;
    while (got < size) {
        const ssize_t read = ::pread(fd, into + got, size - got, static_cast<off_t>(offset + got));
        if (read < 0 && errno == EINTR)
            continue;
        if (read < 0)
            return AVERROR(errno);
        if (read == 0)
            return result::kSourceShrank;
        got += static_cast<std::size_t>(read);
    }
    return result::kOk;
}

std::int64_t sourceFileSize(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return -1;
    return static_cast<std::int64_t>(status.st_size);
}

} // namespace kestrine

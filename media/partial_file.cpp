// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/partial_file.h"

#include "output/output_path_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace kestrine {
namespace {

// A link at the output path is followed, as writing through it always was:
// the file it points to is the one replaced, and the link stays.
std::string fileBehind(const std::string& path)
{
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
        return path;
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

// What a new partial file starts from: a leftover of an earlier join is
// removed, anything else at that name is not ours to touch.
MediaResult clearPartialPath(const std::string& partialPath)
{
    struct stat status {};
    if (::lstat(partialPath.c_str(), &status) != 0)
        return errno == ENOENT ? result::kOk : result::kCannotCreateOutput;
    if (!S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode))
        return result::kCannotCreateOutput;
    return ::unlink(partialPath.c_str()) == 0 ? result::kOk : result::kCannotCreateOutput;
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes a rename in `folder` survive a power cut; where that cannot be done
// the rename still stands for everyone who looks.
void syncFolder(const std::string& folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

MediaResult resultOfWriteError(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG ? result::kDiskFull
                                                                : result::kWriteFailed;
}

MediaResult writeAll(int fd, const std::uint8_t* data, std::uint64_t size, std::uint64_t offset)
{
    while (size > 0) {
        const ssize_t written =
            ::pwrite(fd, data, std::min<std::uint64_t>(size, 1u << 30), static_cast<off_t>(offset));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return resultOfWriteError(errno);
        }
        if (written == 0)
            return result::kWriteFailed;
        data += written;
        size -= static_cast<std::uint64_t>(written);
        offset += static_cast<std::uint64_t>(written);
    }
    return result::kOk;
}

MediaResult createPartialFile(const std::string& path, PartialFile& file)
{
    std::string target = fileBehind(path);
    // Only a regular file is ever replaced: a folder or a device at the
    // output path is not the user's old join.
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode))
        return result::kOutputNotRegularFile;
    std::string partialPath = partialPathOf(target);
    if (const MediaResult cleared = clearPartialPath(partialPath); failed(cleared))
        return cleared;
    // Readable too: a stopped MP3 or Opus join reads back its header to cut
    // its chapters to the sources it reached.
    const int fd = ::open(partialPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno == ENOSPC || errno == EDQUOT ? result::kDiskFull : result::kCannotCreateOutput;
    // The file that is replaced lends its permissions to its successor.
    if (existing.st_mode != 0)
        ::fchmod(fd, existing.st_mode & 07777);
    file.fd = fd;
    file.target = std::move(target);
    file.partialPath = std::move(partialPath);
    return result::kOk;
}

MediaResult commitPartialFile(PartialFile& file)
{
    if (::fdatasync(file.fd) != 0 && errno != EINVAL)
        return resultOfWriteError(errno);
    struct stat status {};
    const bool stillLinked = ::fstat(file.fd, &status) == 0 && status.st_nlink > 0;
    const int fd = file.fd;
    file.fd = -1;
    // A failing close can be the first news of a full disk on network storage.
    if (::close(fd) != 0 && errno != EINTR)
        return resultOfWriteError(errno);
    if (!stillLinked)
        return result::kOutputLost;
    if (::rename(file.partialPath.c_str(), file.target.c_str()) != 0) {
        const MediaResult why = errno == ENOENT ? result::kOutputLost : result::kCannotCreateOutput;
        ::unlink(file.partialPath.c_str());
        return why;
    }
    syncFolder(folderOf(file.target));
    return result::kOk;
}

void discardPartialFile(PartialFile& file)
{
    if (file.fd >= 0) {
        ::close(file.fd);
        file.fd = -1;
    }
    if (!file.partialPath.empty())
        ::unlink(file.partialPath.c_str());
}

} // namespace kestrine

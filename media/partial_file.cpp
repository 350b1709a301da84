// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/partial_file.h"

#include "output/framework/output_path_check.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace kestrine {
namespace {

// Takes the lock on the partial file, or learns that another join holds it.
MediaResult lockPartialFile(const std::string& partialPath, std::shared_ptr<const int>& lock)
{
    const int fd = ::open(partialPath.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return result::kCannotCreateOutput;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? result::kOutputBusy : result::kCannotCreateOutput;
    }
    lock = std::shared_ptr<const int>(new int(fd), [](const int* held) {
        ::close(*held);
        delete held;
    });
    return result::kOk;
}

bool sameFile(int fd, const std::string& path)
{
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// Opens the partial file at `partialPath` with its lock held, empty. A
// leftover of an earlier join is taken over; anything else at that name is
// not ours to touch.
MediaResult openPartialFile(const std::string& partialPath, int& fd, std::shared_ptr<const int>& lock)
{
    // Each round loses only to another join that removed or replaced the
    // name between our open and our lock; a few rounds are plenty.
    constexpr int kRounds = 8;
    for (int round = 0; round < kRounds; ++round) {
        struct stat status {};
        if (::lstat(partialPath.c_str(), &status) == 0) {
            if (S_ISLNK(status.st_mode)) {
                if (::unlink(partialPath.c_str()) != 0 && errno != ENOENT)
                    return result::kCannotCreateOutput;
            } else if (!S_ISREG(status.st_mode)) {
                return result::kCannotCreateOutput;
            }
        }
        // Readable too: a stopped MP3 or Opus join reads back its header to
        // cut its chapters to the sources it reached.
        fd = ::open(partialPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == ELOOP)
                continue; // a link put there meanwhile
            return errno == ENOSPC || errno == EDQUOT ? result::kDiskFull : result::kCannotCreateOutput;
        }
        if (const MediaResult locked = lockPartialFile(partialPath, lock); failed(locked)) {
            ::close(fd);
            fd = -1;
            return locked;
        }
        // The file locked must still be the one at the name: a join that
        // finished meanwhile has given its file the output's name.
        if (sameFile(fd, partialPath) && sameFile(*lock, partialPath)) {
            if (::ftruncate(fd, 0) != 0) {
                ::close(fd);
                fd = -1;
                lock.reset();
                return result::kCannotCreateOutput;
            }
            return result::kOk;
        }
        ::close(fd);
        fd = -1;
        lock.reset();
    }
    return result::kOutputBusy;
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
    const WriteTarget target = writeTargetOf(path);
    if (target.error == ELOOP || target.error == ENAMETOOLONG)
        return result::resultOfSystemError(target.error);
    if (target.error != 0)
        return result::kCannotCreateOutput;
    // Only a regular file is ever replaced: a folder or a device at the
    // output path is not the user's old join.
    struct stat existing {};
    if (::stat(target.path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode))
        return result::kOutputNotRegularFile;
    std::string partialPath = partialPathOf(target.path);
    int fd = -1;
    std::shared_ptr<const int> lock;
    if (const MediaResult opened = openPartialFile(partialPath, fd, lock); failed(opened))
        return opened;
    // The file that is replaced lends its permissions to its successor.
    if (existing.st_mode != 0)
        ::fchmod(fd, existing.st_mode & 07777);
    file.fd = fd;
    file.target = target.path;
    file.partialPath = std::move(partialPath);
    file.lock = std::move(lock);
    return result::kOk;
}

MediaResult commitPartialFile(PartialFile& file)
{
    // The lock is held to the end, so no other join takes the name over
    // between our last write and the rename.
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
        file.lock.reset();
        return why;
    }
    file.lock.reset();
    syncFolder(folderOf(file.target));
    return result::kOk;
}

void discardPartialFile(PartialFile& file)
{
    // Removed while still locked: once the lock goes, the name may already
    // be another join's.
    if (file.lock && !file.partialPath.empty())
        ::unlink(file.partialPath.c_str());
    if (file.fd >= 0) {
        ::close(file.fd);
        file.fd = -1;
    }
    file.lock.reset();
}

} // namespace kestrine

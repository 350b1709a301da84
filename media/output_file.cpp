// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/output_file.h"

#include "media/wav_header.h"
#include "output/output_path_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace kestrine {
namespace {

constexpr std::size_t kSilenceChunkBytes = 64 * 1024;

MediaResult writeAll(int fd, const std::uint8_t* data, std::uint64_t size, std::uint64_t offset)
{
    while (size > 0) {
        const ssize_t written = ::pwrite(fd, data, std::min<std::uint64_t>(size, 1u << 30),
                                         static_cast<off_t>(offset));
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

OutputFile::OutputFile(int fd, const OutputFormat& format, std::string path, std::string partialPath)
    : fd_(fd), format_(format), bytesPerFrame_(format.channels * format.bitsPerSample / 8),
      path_(std::move(path)), partialPath_(std::move(partialPath))
{
}

OutputFile::~OutputFile()
{
    if (fd_ >= 0)
        ::close(fd_);
}

MediaResult OutputFile::create(const std::string& path, const OutputFormat& format,
                               std::int64_t totalFrames, std::unique_ptr<OutputFile>& file)
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
    const int fd = ::open(partialPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno == ENOSPC || errno == EDQUOT ? result::kDiskFull : result::kCannotCreateOutput;
    std::unique_ptr<OutputFile> created(new OutputFile(fd, format, std::move(target), std::move(partialPath)));
    // The file that is replaced lends its permissions to its successor.
    if (existing.st_mode != 0)
        ::fchmod(fd, existing.st_mode & 07777);

    // A disk without room for the whole file fails now, before any work is
    // done. Asking beats reserving: reserving zero-fills the whole file on
    // memory-backed file systems, which costs as much as writing it. A disk
    // that fills up meanwhile still fails at the write that meets it.
    const std::uint64_t total = created->offsetOfFrame(totalFrames);
    struct statvfs space {};
    if (::fstatvfs(fd, &space) == 0 && space.f_frsize > 0 &&
        space.f_bavail < (total + space.f_frsize - 1) / space.f_frsize) {
        created->discard();
        return result::kDiskFull;
    }
    // Until the first claim the header is blank: a WAV header that says "no
    // data" reads, to FFmpeg and many players, as "data up to the end".
    static constexpr std::uint8_t kBlankHeader[kWavHeaderSize] = {};
    if (const MediaResult written = writeAll(fd, kBlankHeader, kWavHeaderSize, 0); failed(written)) {
        created->discard();
        return written;
    }
    file = std::move(created);
    return result::kOk;
}

std::uint64_t OutputFile::offsetOfFrame(std::int64_t frame) const
{
    return kWavHeaderSize + static_cast<std::uint64_t>(frame) * static_cast<std::uint64_t>(bytesPerFrame_);
}

MediaResult OutputFile::writeHeader(std::int64_t frames, std::uint64_t trailerBytes)
{
    const WavHeader header = buildWavHeader(format_, offsetOfFrame(frames) - kWavHeaderSize, trailerBytes);
    return writeAll(fd_, header.data(), header.size(), 0);
}

MediaResult OutputFile::writeFrames(std::int64_t frame, const void* data, std::int64_t frames)
{
    return writeAll(fd_, static_cast<const std::uint8_t*>(data),
                    static_cast<std::uint64_t>(frames) * static_cast<std::uint64_t>(bytesPerFrame_),
                    offsetOfFrame(frame));
}

MediaResult OutputFile::writeSilence(std::int64_t frame, std::int64_t frames, std::stop_token stop)
{
    static constexpr std::uint8_t kZeros[kSilenceChunkBytes] = {};
    std::uint64_t offset = offsetOfFrame(frame);
    std::uint64_t left = static_cast<std::uint64_t>(frames) * static_cast<std::uint64_t>(bytesPerFrame_);
    while (left > 0) {
        if (stop.stop_requested())
            return result::kStopped;
        const std::uint64_t size = std::min<std::uint64_t>(left, sizeof kZeros);
        if (const MediaResult written = writeAll(fd_, kZeros, size, offset); failed(written))
            return written;
        offset += size;
        left -= size;
    }
    return result::kOk;
}

MediaResult OutputFile::claim(std::int64_t frames)
{
    if (frames <= claimed_)
        return result::kOk;
    // Data first, then the header that points at it: after a crash or a
    // power cut the header never claims what the disk does not hold.
    if (::fdatasync(fd_) != 0 && errno != EINVAL)
        return resultOfWriteError(errno);
    if (const MediaResult written = writeHeader(frames); failed(written))
        return written;
    claimed_ = frames;
    return result::kOk;
}

MediaResult OutputFile::finish(std::int64_t frames)
{
    if (::ftruncate(fd_, static_cast<off_t>(offsetOfFrame(frames))) != 0 && errno != EINVAL)
        return resultOfWriteError(errno);
    // A stopped join keeps the markers of the sources it began to write.
    std::vector<Marker> kept;
    for (const Marker& marker : markers_) {
        if (marker.frame < frames)
            kept.push_back(marker);
    }
    // The markers go after the data, which never moves, and the header that
    // counts them comes last: until then it still claims only the data.
    const std::vector<std::uint8_t> trailer = wavTrailer(kept);
    if (!trailer.empty()) {
        const std::uint64_t at = wavTrailerOffset(offsetOfFrame(frames) - kWavHeaderSize);
        if (const MediaResult written = writeAll(fd_, trailer.data(), trailer.size(), at); failed(written))
            return written;
    }
    if (const MediaResult written = writeHeader(frames, trailer.size()); failed(written))
        return written;
    claimed_ = frames;
    if (::fdatasync(fd_) != 0 && errno != EINVAL)
        return resultOfWriteError(errno);
    struct stat status {};
    const bool stillLinked = ::fstat(fd_, &status) == 0 && status.st_nlink > 0;
    const int fd = fd_;
    fd_ = -1;
    // A failing close can be the first news of a full disk on network storage.
    if (::close(fd) != 0 && errno != EINTR)
        return resultOfWriteError(errno);
    if (!stillLinked)
        return result::kOutputLost;
    if (::rename(partialPath_.c_str(), path_.c_str()) != 0) {
        const MediaResult why = errno == ENOENT ? result::kOutputLost : result::kCannotCreateOutput;
        ::unlink(partialPath_.c_str());
        return why;
    }
    syncFolder(folderOf(path_));
    return result::kOk;
}

void OutputFile::discard()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    ::unlink(partialPath_.c_str());
}

} // namespace kestrine

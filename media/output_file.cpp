// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/output_file.h"

#include "media/wav_header.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

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

} // namespace

MediaResult resultOfWriteError(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG ? result::kDiskFull
                                                                 : result::kWriteFailed;
}

OutputFile::OutputFile(int fd, const OutputFormat& format)
    : fd_(fd), format_(format), bytesPerFrame_(format.channels * format.bitsPerSample / 8)
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
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno == ENOSPC || errno == EDQUOT ? result::kDiskFull : result::kCannotCreateOutput;
    std::unique_ptr<OutputFile> created(new OutputFile(fd, format));
    const std::uint64_t total = created->offsetOfFrame(totalFrames);
    // A disk without room for the whole file fails now, before any work is
    // done. Asking beats reserving: reserving zero-fills the whole file on
    // memory-backed file systems, which costs as much as writing it. A disk
    // that fills up meanwhile still fails at the write that meets it.
    struct statvfs space {};
    if (::fstatvfs(fd, &space) == 0 && space.f_bavail > 0 && space.f_frsize > 0 &&
        space.f_bavail < (total + space.f_frsize - 1) / space.f_frsize)
        return result::kDiskFull;
    if (::ftruncate(fd, static_cast<off_t>(total)) != 0 && errno != EINVAL)
        return resultOfWriteError(errno);
    const WavHeader header = buildWavHeader(format, total - kWavHeaderSize);
    if (const MediaResult written = writeAll(fd, header.data(), header.size(), 0); failed(written))
        return written;
    file = std::move(created);
    return result::kOk;
}

std::uint64_t OutputFile::offsetOfFrame(std::int64_t frame) const
{
    return kWavHeaderSize + static_cast<std::uint64_t>(frame) * static_cast<std::uint64_t>(bytesPerFrame_);
}

MediaResult OutputFile::writeFrames(std::int64_t frame, const void* data, std::int64_t frames)
{
    return writeAll(fd_, static_cast<const std::uint8_t*>(data),
                    static_cast<std::uint64_t>(frames) * static_cast<std::uint64_t>(bytesPerFrame_),
                    offsetOfFrame(frame));
}

MediaResult OutputFile::writeSilence(std::int64_t frame, std::int64_t frames)
{
    static constexpr std::uint8_t kZeros[kSilenceChunkBytes] = {};
    std::uint64_t offset = offsetOfFrame(frame);
    std::uint64_t left = static_cast<std::uint64_t>(frames) * static_cast<std::uint64_t>(bytesPerFrame_);
    while (left > 0) {
        const std::uint64_t size = std::min<std::uint64_t>(left, sizeof kZeros);
        if (const MediaResult written = writeAll(fd_, kZeros, size, offset); failed(written))
            return written;
        offset += size;
        left -= size;
    }
    return result::kOk;
}

MediaResult OutputFile::finish(std::int64_t frames)
{
    const std::uint64_t end = offsetOfFrame(frames);
    if (::ftruncate(fd_, static_cast<off_t>(end)) != 0 && errno != EINVAL)
        return resultOfWriteError(errno);
    const WavHeader header = buildWavHeader(format_, end - kWavHeaderSize);
    if (const MediaResult written = writeAll(fd_, header.data(), header.size(), 0); failed(written))
        return written;
    const int fd = fd_;
    fd_ = -1;
    // A failing close can be the first news of a full disk on network storage.
    if (::close(fd) != 0 && errno != EINTR)
        return resultOfWriteError(errno);
    return result::kOk;
}

} // namespace kestrine

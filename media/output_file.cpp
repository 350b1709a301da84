// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/output_file.h"

#include "media/wav_header.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace kestrine {
namespace {

constexpr std::size_t kSilenceChunkBytes = 64 * 1024;

} // namespace

OutputFile::OutputFile(PartialFile file, const OutputFormat& format)
    : file_(std::move(file)), format_(format), bytesPerFrame_(format.channels * format.bitsPerSample / 8)
{
}

OutputFile::~OutputFile()
{
    if (file_.fd >= 0)
        ::close(file_.fd);
}

MediaResult OutputFile::create(const std::string& path, const OutputFormat& format,
                               std::int64_t totalFrames, std::unique_ptr<OutputFile>& file)
{
    PartialFile partial;
    if (const MediaResult created = createPartialFile(path, partial); failed(created))
        return created;
    const int fd = partial.fd;
    std::unique_ptr<OutputFile> created(new OutputFile(std::move(partial), format));

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
    return writeAll(file_.fd, header.data(), header.size(), 0);
}

MediaResult OutputFile::writeFrames(std::int64_t frame, const void* data, std::int64_t frames)
{
    return writeAll(file_.fd, static_cast<const std::uint8_t*>(data),
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
        if (const MediaResult written = writeAll(file_.fd, kZeros, size, offset); failed(written))
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
    if (::fdatasync(file_.fd) != 0 && errno != EINVAL)
        return resultOfWriteError(errno);
    if (const MediaResult written = writeHeader(frames); failed(written))
        return written;
    claimed_ = frames;
    return result::kOk;
}

MediaResult OutputFile::finish(std::int64_t frames)
{
    if (::ftruncate(file_.fd, static_cast<off_t>(offsetOfFrame(frames))) != 0 && errno != EINVAL)
        return resultOfWriteError(errno);
    const std::vector<Marker> kept = markersReached(markers_, frames);
    // The markers go after the data, which never moves, and the header that
    // counts them comes last: until then it still claims only the data.
    const std::vector<std::uint8_t> trailer = wavTrailer(kept);
    if (!trailer.empty()) {
        const std::uint64_t at = wavTrailerOffset(offsetOfFrame(frames) - kWavHeaderSize);
        if (const MediaResult written = writeAll(file_.fd, trailer.data(), trailer.size(), at); failed(written))
            return written;
    }
    if (const MediaResult written = writeHeader(frames, trailer.size()); failed(written))
        return written;
    claimed_ = frames;
    return commitPartialFile(file_);
}

void OutputFile::discard()
{
    discardPartialFile(file_);
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/output_file.h"

#include "media/writing/container_factory.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace kestrine {
namespace {

constexpr std::size_t kSilenceChunkBytes = 64 * 1024;

} // namespace

OutputFile::OutputFile(PartialFile file, const OutputFormat& format,
                       std::unique_ptr<ContainerWriter> writer)
    : file_(std::move(file)), writer_(std::move(writer)),
      bytesPerFrame_(format.channels * format.bitsPerSample / 8)
{
}

OutputFile::~OutputFile()
{
    if (file_.fd >= 0)
        ::close(file_.fd);
}

MediaResult OutputFile::create(const std::string& path, const OutputFormat& format,
                               std::int64_t totalFrames, std::unique_ptr<OutputFile>& file,
                               std::vector<Marker> markers)
{
    PartialFile partial;
    if (const MediaResult created = createPartialFile(path, partial); failed(created))
        return created;
    std::unique_ptr<ContainerWriter> writer;
    MediaResult made = makeContainerWriter(format, partial.fd, partial.target, std::move(markers),
                                           totalFrames, writer);
    if (succeeded(made) && !writer->encoderSetup().empty())
        made = result::kInvalidArgument;
    if (failed(made)) {
        discardPartialFile(partial);
        return made;
    }
    return open(std::move(partial), format, std::move(writer), totalFrames, file);
}

MediaResult OutputFile::open(PartialFile partial, const OutputFormat& format,
                             std::unique_ptr<ContainerWriter> writer, std::int64_t totalFrames,
                             std::unique_ptr<OutputFile>& file)
{
    const int fd = partial.fd;
    std::unique_ptr<OutputFile> created(new OutputFile(std::move(partial), format, std::move(writer)));

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
    if (const MediaResult written = created->writer_->writeHeader(nullptr); failed(written)) {
        created->discard();
        return written;
    }
    file = std::move(created);
    return result::kOk;
}

std::uint64_t OutputFile::offsetOfFrame(std::int64_t frame) const
{
    return writer_->offsetOfFrame(frame);
}

MediaResult OutputFile::writeFrames(std::int64_t frame, const void* data, std::int64_t frames)
{
    return writer_->writeFrames(frame, static_cast<const std::uint8_t*>(data), frames);
}

MediaResult OutputFile::writeSilence(std::int64_t frame, std::int64_t frames, std::stop_token stop)
{
    static constexpr std::uint8_t kZeros[kSilenceChunkBytes] = {};
    const auto most = static_cast<std::int64_t>(kSilenceChunkBytes) / bytesPerFrame_;
    while (frames > 0) {
        if (stop.stop_requested())
            return result::kStopped;
        const std::int64_t chunk = std::min(frames, most);
        if (const MediaResult written = writer_->writeFrames(frame, kZeros, chunk); failed(written))
            return written;
        frame += chunk;
        frames -= chunk;
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
    if (const MediaResult written = writer_->claim(frames); failed(written))
        return written;
    claimed_ = frames;
    return result::kOk;
}

MediaResult OutputFile::finish(std::int64_t frames)
{
    if (const MediaResult ended = writer_->finish(nullptr, frames); failed(ended))
        return ended;
    claimed_ = frames;
    return commitPartialFile(file_);
}

void OutputFile::discard()
{
    discardPartialFile(file_);
}

} // namespace kestrine

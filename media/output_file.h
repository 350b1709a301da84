// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/render_job.h"

#include <cstdint>
#include <memory>

namespace kestrine {

// The WAV file a render writes. It is sized and given a header for the whole
// join before any sample arrives, so several workers can each write their own
// range with positioned writes, and the file is a valid WAV at every moment.
class OutputFile {
public:
    // Creates (or overwrites) the file; result::kCannotCreateOutput or
    // result::kDiskFull when that fails.
    static MediaResult create(const std::string& path, const OutputFormat& format,
                              std::int64_t totalFrames, std::unique_ptr<OutputFile>& file);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    int bytesPerFrame() const { return bytesPerFrame_; }
    int descriptor() const { return fd_; }
    std::uint64_t offsetOfFrame(std::int64_t frame) const;

    // Thread-safe: writes whole frames at `frame`.
    MediaResult writeFrames(std::int64_t frame, const void* data, std::int64_t frames);
    MediaResult writeSilence(std::int64_t frame, std::int64_t frames);

    // Cuts the file to its first `frames` frames and makes the header say so.
    MediaResult finish(std::int64_t frames);

private:
    OutputFile(int fd, const OutputFormat& format);

    int fd_ = -1;
    OutputFormat format_;
    int bytesPerFrame_ = 0;
};

// Our code for a failed write's errno.
MediaResult resultOfWriteError(int error);

} // namespace kestrine

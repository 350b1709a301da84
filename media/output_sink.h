// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_result.h"

#include <cstdint>
#include <limits>
#include <stop_token>

namespace kestrine {

// Where the render's workers put output frames: each worker writes its own
// ranges, in any order between workers, every frame exactly once.
class OutputSink {
public:
    virtual ~OutputSink() = default;

    virtual int bytesPerFrame() const = 0;
    // Thread-safe: writes whole frames at `frame`.
    virtual MediaResult writeFrames(std::int64_t frame, const void* data, std::int64_t frames) = 0;
    // Thread-safe; result::kStopped when `stop` is requested first.
    virtual MediaResult writeSilence(std::int64_t frame, std::int64_t frames,
                                     std::stop_token stop = {}) = 0;

    // A sink that is a plain file of frames gives its descriptor, so that a
    // source already in the output's format can be copied into it by the
    // kernel; -1 for any other sink.
    virtual int descriptor() const { return -1; }
    virtual std::uint64_t offsetOfFrame(std::int64_t frame) const
    {
        return static_cast<std::uint64_t>(frame);
    }

    // How far past the frames complete from the start a writer may write
    // without waiting for the sink to take them.
    virtual std::int64_t reach() const { return std::numeric_limits<std::int64_t>::max(); }

    // Tells the sink that the first `frames` frames are complete, so that a
    // file can say so before it is finished. From one thread at a time.
    virtual MediaResult claim(std::int64_t /*frames*/) { return result::kOk; }
    // Once the render stops early: writers that wait for the sink give up.
    virtual void cancelWrites() {}
    // Keeps the first `frames` frames, which are complete, and puts the file
    // in the output's place.
    virtual MediaResult finish(std::int64_t frames) = 0;
    // Removes what was written; whatever stood at the output path stays.
    virtual void discard() = 0;
};

} // namespace kestrine

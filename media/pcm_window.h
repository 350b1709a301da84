// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_result.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

namespace kestrine {

// A bounded stretch of the output's frames between the workers, who write
// their ranges in any order, and one reader, who takes the frames that are
// complete from the start, in order. A writer whose frames lie past the
// window waits until the reader has taken enough. The writer of the first
// frame not yet written never waits for long: the reader takes everything
// before it, so the window always opens up to it. Memory stays the window's
// size whatever the length of the output.
class PcmWindow {
public:
    PcmWindow(int bytesPerFrame, std::int64_t capacityFrames);

    // Thread-safe: puts frames at `frame`, or silence when `data` is null.
    // Waits for room; answers the reason given to refuseWrites once that is called.
    MediaResult write(std::int64_t frame, const void* data, std::int64_t frames);
    // Wakes every waiting writer and refuses later writes with `why`; the
    // first reason stays. The reader goes on.
    void refuseWrites(MediaResult why);

    // The reader: waits until `wanted` frames past what it took are
    // complete, or until everything up to the end set by closeAt is, and answers how
    // many it may take now (0: none will come).
    std::int64_t waitReadable(std::int64_t wanted);
    // Copies the next `frames` frames out and gives their room to the writers.
    void read(void* to, std::int64_t frames);
    // The reader takes nothing at or past `end`.
    void closeAt(std::int64_t end);

    // Frames written and complete from the start.
    std::int64_t complete() const;
    // How many frames past the reader's place writers may fill.
    std::int64_t capacity() const { return capacity_; }

private:
    void copyIn(std::int64_t frame, const std::uint8_t* data, std::int64_t frames);
    void markWritten(std::int64_t frame, std::int64_t frames);

    const int bytesPerFrame_;
    const std::int64_t capacity_;
    const std::int64_t refill_; // the room that wakes writers waiting for it
    std::vector<std::uint8_t> ring_;

    mutable std::mutex mutex_;
    std::condition_variable roomFreed_;
    std::condition_variable framesArrived_;
    std::int64_t taken_ = 0;                     // frames the reader has taken
    std::int64_t complete_ = 0;                  // frames written from the start
    std::map<std::int64_t, std::int64_t> ahead_; // written ranges past complete_: first → end
    std::int64_t end_ = -1;                      // set by closeAt
    MediaResult refusal_ = result::kOk;
};

} // namespace kestrine

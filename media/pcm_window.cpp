// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/pcm_window.h"

#include <algorithm>
#include <cstring>

namespace kestrine {

PcmWindow::PcmWindow(int bytesPerFrame, std::int64_t capacityFrames)
    : bytesPerFrame_(bytesPerFrame), capacity_(capacityFrames),
      refill_(std::max<std::int64_t>(1, capacityFrames / 8)),
      ring_(static_cast<std::size_t>(capacityFrames * bytesPerFrame))
{
}

void PcmWindow::copyIn(std::int64_t frame, const std::uint8_t* data, std::int64_t frames)
{
    while (frames > 0) {
        const std::int64_t at = frame % capacity_;
        const std::int64_t count = std::min(frames, capacity_ - at);
        std::uint8_t* to = ring_.data() + at * bytesPerFrame_;
        const auto bytes = static_cast<std::size_t>(count * bytesPerFrame_);
        if (data) {
            std::memcpy(to, data, bytes);
            data += bytes;
        } else {
            std::memset(to, 0, bytes);
        }
        frame += count;
        frames -= count;
    }
}

void PcmWindow::markWritten(std::int64_t frame, std::int64_t frames)
{
    std::int64_t end = frame + frames;
    if (frame != complete_) {
        // A range that continues one already ahead grows it, so a writer's
        // consecutive writes stay one entry.
        auto before = ahead_.lower_bound(frame);
        if (before != ahead_.begin() && std::prev(before)->second == frame) {
            std::prev(before)->second = end;
            frame = std::prev(before)->first;
        } else {
            ahead_[frame] = end;
        }
        auto after = ahead_.find(end);
        if (after != ahead_.end()) {
            ahead_[frame] = after->second;
            ahead_.erase(after);
        }
        return;
    }
    complete_ = end;
    for (auto next = ahead_.begin(); next != ahead_.end() && next->first == complete_;
         next = ahead_.begin()) {
        complete_ = next->second;
        ahead_.erase(next);
    }
    framesArrived_.notify_one();
}

MediaResult PcmWindow::write(std::int64_t frame, const void* data, std::int64_t frames)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    while (frames > 0) {
        std::int64_t count = 0;
        {
            std::unique_lock lock(mutex_);
            // A writer ahead waits for room for a good part of its frames, not
            // for every encoder frame's worth, which would wake it thousands of
            // times a minute. Frames that fit half the window go in whole or
            // not at all: a writer refused midway would leave frames that the
            // reader may take but that its render never counted as written.
            const std::int64_t wanted = frames <= capacity_ / 2 ? frames : std::min(frames, refill_);
            roomFreed_.wait(
                lock, [&] { return failed(refusal_) || frame + wanted <= taken_ + capacity_; });
            if (failed(refusal_))
                return refusal_;
            count = std::min(frames, taken_ + capacity_ - frame);
        }
        // Frames not yet complete are this writer's alone: the reader never
        // reaches them and no other writer has them.
        copyIn(frame, bytes, count);
        {
            const std::lock_guard lock(mutex_);
            markWritten(frame, count);
        }
        frame += count;
        frames -= count;
        if (bytes)
            bytes += count * bytesPerFrame_;
    }
    return result::kOk;
}

void PcmWindow::refuseWrites(MediaResult why)
{
    {
        const std::lock_guard lock(mutex_);
        if (succeeded(refusal_))
            refusal_ = why;
    }
    roomFreed_.notify_all();
}

std::int64_t PcmWindow::waitReadable(std::int64_t wanted)
{
    std::unique_lock lock(mutex_);
    const auto readable = [&] {
        return complete_ - taken_ >= wanted || (end_ >= 0 && complete_ >= end_);
    };
    if (!readable()) {
        // The writer that the reader now waits for may be waiting for room
        // that came without a wake-up: it hears of it now.
        roomFreed_.notify_all();
        framesArrived_.wait(lock, readable);
    }
    const std::int64_t limit = end_ >= 0 ? std::min(end_, complete_) : complete_;
    return std::clamp<std::int64_t>(limit - taken_, 0, wanted);
}

void PcmWindow::read(void* to, std::int64_t frames)
{
    auto* out = static_cast<std::uint8_t*>(to);
    std::int64_t from = 0;
    {
        const std::lock_guard lock(mutex_);
        from = taken_;
    }
    for (std::int64_t left = frames; left > 0;) {
        const std::int64_t at = from % capacity_;
        const std::int64_t count = std::min(left, capacity_ - at);
        const auto bytes = static_cast<std::size_t>(count * bytesPerFrame_);
        std::memcpy(out, ring_.data() + at * bytesPerFrame_, bytes);
        out += bytes;
        from += count;
        left -= count;
    }
    bool refilled = false;
    {
        const std::lock_guard lock(mutex_);
        refilled = (taken_ + frames) / refill_ != taken_ / refill_;
        taken_ += frames;
    }
    if (refilled)
        roomFreed_.notify_all();
}

void PcmWindow::closeAt(std::int64_t end)
{
    {
        const std::lock_guard lock(mutex_);
        end_ = end;
    }
    framesArrived_.notify_all();
}

std::int64_t PcmWindow::complete() const
{
    const std::lock_guard lock(mutex_);
    return complete_;
}

} // namespace kestrine

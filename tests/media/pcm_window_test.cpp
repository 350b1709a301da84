// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/pcm_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace kestrine::testing {
namespace {

constexpr std::int64_t kWindow = 64;

// Writers that start far ahead of a window much smaller than their ranges
// wait for it rather than overwrite what the reader has not taken, and the
// writer of the earliest range is never among those kept waiting for good:
// the reader gets every frame, in order, exactly once.
TEST(PcmWindow, WritersAheadWaitAndTheReaderGetsEveryFrameInOrder)
{
    PcmWindow window(sizeof(std::int32_t), kWindow);
    const std::int64_t bounds[] = {0, 100, 250, 251, 400, 1000};
    std::vector<std::jthread> writers;
    // The last range's writer starts first; the gap [250, 251) is silence.
    for (std::size_t range = std::size(bounds) - 1; range-- > 0;) {
        writers.emplace_back([&window, first = bounds[range], end = bounds[range + 1]] {
            if (first == 250) {
                EXPECT_EQ(window.write(first, nullptr, end - first), result::kOk);
                return;
            }
            // Writes of uneven sizes, some larger than the whole window.
            for (std::int64_t at = first, size = 7; at < end;
                 at += size, size = size * 3 % 97 + 1) {
                size = std::min(size, end - at);
                std::vector<std::int32_t> values(static_cast<std::size_t>(size));
                for (std::int64_t i = 0; i < size; ++i)
                    values[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(at + i + 1);
                ASSERT_EQ(window.write(at, values.data(), size), result::kOk);
            }
        });
    }
    window.closeAt(1000);
    std::vector<std::int32_t> taken;
    while (taken.size() < 1000) {
        const std::int64_t frames = window.waitReadable(16);
        ASSERT_GT(frames, 0);
        std::vector<std::int32_t> block(static_cast<std::size_t>(frames));
        window.read(block.data(), frames);
        taken.insert(taken.end(), block.begin(), block.end());
    }
    writers.clear();
    for (std::int64_t n = 0; n < 1000; ++n)
        EXPECT_EQ(taken[static_cast<std::size_t>(n)], n == 250 ? 0 : n + 1) << "frame " << n;
    EXPECT_EQ(window.complete(), 1000);
    EXPECT_EQ(window.waitReadable(16), 0);
}

// Once the work stops, a writer kept waiting for room hears why at once.
TEST(PcmWindow, RefusingWritesWakesAWaitingWriter)
{
    PcmWindow window(sizeof(std::int32_t), kWindow);
    std::atomic<MediaResult> answer{result::kOk};
    std::jthread ahead([&] { answer = window.write(kWindow * 3, nullptr, 10); });
    window.refuseWrites(result::kDiskFull);
    ahead.join();
    EXPECT_EQ(answer.load(), result::kDiskFull);
    EXPECT_EQ(window.write(0, nullptr, 1), result::kDiskFull);
}

// The reader's end: what lies at or past it is never taken.
TEST(PcmWindow, TheReaderStopsAtTheEndGiven)
{
    PcmWindow window(sizeof(std::int32_t), kWindow);
    ASSERT_EQ(window.write(0, nullptr, 40), result::kOk);
    window.closeAt(30);
    EXPECT_EQ(window.waitReadable(16), 16);
    std::vector<std::int32_t> block(16);
    window.read(block.data(), 16);
    EXPECT_EQ(window.waitReadable(16), 14);
    window.read(block.data(), 14);
    EXPECT_EQ(window.waitReadable(16), 0);
}

} // namespace
} // namespace kestrine::testing

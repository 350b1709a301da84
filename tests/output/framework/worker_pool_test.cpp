// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/framework/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <set>
#include <thread>

namespace kestrine {
namespace {

TEST(WorkerPool, NeverMoreWorkersThanItemsNorFewerThanOne)
{
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const struct {
        std::size_t items;
        int requested;
        int expected;
    } cases[] = {
        {0, 0, 1}, {1, 0, 1}, {1, 8, 1}, {5, 3, 3}, {3, 5, 3}, {1000, 0, cores}, {1000, 2, 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(workerCount(c.items, c.requested), c.expected) << c.items << " " << c.requested;
}

TEST(WorkerPool, RunsTheWorkOnThreadsOfItsOwnAndWaitsForThemAll)
{
    std::mutex mutex;
    std::set<std::thread::id> threads;
    std::atomic<int> runs{0};
    int keeps = 0;
    runOnWorkers(
        3,
        [&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            const std::lock_guard lock(mutex);
            threads.insert(std::this_thread::get_id());
            ++runs;
        },
        std::chrono::milliseconds(1), [&] { ++keeps; });
    EXPECT_EQ(runs, 3);
    EXPECT_EQ(threads.size(), 3u);
    EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
    EXPECT_GT(keeps, 0);
}

} // namespace
} // namespace kestrine

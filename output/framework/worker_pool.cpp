// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/framework/worker_pool.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace kestrine {

int workerCount(std::size_t items, int requested)
{
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int workers = requested > 0 ? requested : cores;
    return static_cast<int>(std::clamp<std::size_t>(items, 1, static_cast<std::size_t>(workers)));
}

void runOnWorkers(int workers, const std::function<void()>& work, std::chrono::milliseconds interval,
                  const std::function<void()>& keep)
{
    std::mutex mutex;
    std::condition_variable ended;
    int running = workers;
    std::vector<std::jthread> threads;
    threads.reserve(static_cast<std::size_t>(std::max(workers, 0)));
    for (int i = 0; i < workers; ++i) {
        threads.emplace_back([&] {
            work();
            const std::lock_guard lock(mutex);
            if (--running == 0)
                ended.notify_one();
        });
    }
    if (!keep)
        return; // the threads' join waits for them
    std::unique_lock lock(mutex);
    while (!ended.wait_for(lock, interval, [&] { return running == 0; })) {
        lock.unlock();
        keep();
        lock.lock();
    }
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/framework/worker_pool.h"

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#ifdef __linux__
#include <sched.h>
#endif

namespace kestrine {
namespace {

constexpr int kMostWorkers = 64;

// The cores this process may run on: fewer than the machine has when it is
// pinned (taskset) or confined (a container's cpuset).
int usableCores()
{
#ifdef __linux__
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    if (sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) > 0)
        return CPU_COUNT(&allowed);
#endif
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

} // namespace

int workersFromEnvironment()
{
    const char* text = std::getenv("KESTRINE_WORKERS");
    if (!text)
        return 0;
    int workers = 0;
    const char* end = text + std::strlen(text);
    const auto [stopped, error] = std::from_chars(text, end, workers);
    if (error != std::errc() || stopped != end || workers < 1 || workers > kMostWorkers)
        return 0;
    return workers;
}

int workerCount(std::size_t items, int requested)
{
    static const int cores = usableCores();
    int workers = requested > 0 ? requested : workersFromEnvironment();
    if (workers == 0)
        workers = cores;
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

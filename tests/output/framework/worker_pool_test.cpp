// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/framework/worker_pool.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <stdlib.h>

#include <atomic>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

namespace kestrine {
namespace {

// The cores the test may run on, as the pool should count them.
int allowedCores()
{
    cpu_set_t allowed;
    CPU_ZERO(&allowed);
    EXPECT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
    return CPU_COUNT(&allowed);
}

// Sets KESTRINE_WORKERS for one test and puts back what was there.
class WorkersVariable {
public:
    explicit WorkersVariable(const char* value)
    {
        if (const char* before = getenv(kName))
            before_ = before;
        setenv(kName, value, 1);
    }
    ~WorkersVariable()
    {
        if (before_)
            setenv(kName, before_->c_str(), 1);
        else
            unsetenv(kName);
    }
    WorkersVariable(const WorkersVariable&) = delete;
    WorkersVariable& operator=(const WorkersVariable&) = delete;

private:
    static constexpr const char* kName = "KESTRINE_WORKERS";
    std::optional<std::string> before_;
};

TEST(WorkerPool, NeverMoreWorkersThanItemsNorFewerThanOne)
{
    const WorkersVariable unset("");
    const int cores = allowedCores();
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

TEST(WorkerPool, TheEnvironmentChoosesTheCountUnlessTheCallerDoes)
{
    const int cores = allowedCores();
    const struct {
        const char* value;
        std::size_t items;
        int requested;
        int expected;
    } cases[] = {
        {"4", 1000, 0, 4},    {"1", 1000, 0, 1},      {"64", 1000, 0, 64}, {"4", 3, 0, 3},
        {"4", 1000, 2, 2},    {"0", 1000, 0, cores},  {"65", 1000, 0, cores},
        {"-2", 1000, 0, cores}, {"3x", 1000, 0, cores}, {" 3", 1000, 0, cores}, {"", 1000, 0, cores},
    };
    for (const auto& c : cases) {
        const WorkersVariable workers(c.value);
        EXPECT_EQ(workerCount(c.items, c.requested), c.expected) << '"' << c.value << '"';
    }
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

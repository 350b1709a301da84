// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>

namespace kestrine {

// How many threads the program's parallel work runs on at most: one per core
// the process may use, chosen here once for measuring files, checking source
// names and the render alike. `requested` above zero overrides it, else
// KESTRINE_WORKERS (1 to 64) does; never more than `items`, never fewer
// than one.
int workerCount(std::size_t items, int requested = 0);

// KESTRINE_WORKERS as a count of workers; 0 when unset or not 1 to 64.
int workersFromEnvironment();

// Runs `work` on `workers` threads of its own and returns when every one has
// returned. With `keep`, this thread calls it every `interval` meanwhile.
void runOnWorkers(int workers, const std::function<void()>& work,
                  std::chrono::milliseconds interval = {}, const std::function<void()>& keep = {});

} // namespace kestrine

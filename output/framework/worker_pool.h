// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>

namespace kestrine {

// How many threads the program's parallel work runs on at most: one per core,
// chosen here once for measuring files, checking source names and the render
// alike. `requested`
// above zero overrides it; never more than `items`, never fewer than one.
int workerCount(std::size_t items, int requested = 0);

// Runs `work` on `workers` threads of its own and returns when every one has
// returned. With `keep`, this thread calls it every `interval` meanwhile.
void runOnWorkers(int workers, const std::function<void()>& work,
                  std::chrono::milliseconds interval = {}, const std::function<void()>& keep = {});

} // namespace kestrine

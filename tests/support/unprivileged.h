// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <chrono>
#include <functional>
#include <optional>

namespace kestrine::testing {

// Runs `body` as a user without root's right to look into every folder and
// read every file, and gives back its answer. Already such a user, it runs
// here; as root, in a child process that first becomes "nobody". Empty when
// the child could not give up root, or did not answer within `limit`.
std::optional<int> runUnprivileged(const std::function<int()>& body,
                                   std::chrono::seconds limit = std::chrono::seconds(30));

} // namespace kestrine::testing

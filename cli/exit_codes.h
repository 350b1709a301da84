// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

namespace kestrine {

// What kestrine-join tells the script that ran it.
inline constexpr int kExitJoined = 0;       // the whole file was written
inline constexpr int kExitFailed = 1;       // the join failed or was refused
inline constexpr int kExitUsage = 2;        // the arguments make no sense
inline constexpr int kExitInterrupted = 130; // stopped by Ctrl-C, as a shell counts SIGINT

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <cstdint>

namespace kestrine {

// Times and lengths everywhere are counts of 100 ns.
using MediaTime = std::int64_t;
inline constexpr MediaTime kUnitsPerSecond = 10'000'000;

} // namespace kestrine

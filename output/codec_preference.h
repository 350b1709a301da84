// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/preference_registry.h"

#include <memory>
#include <string_view>

namespace kestrine {

inline constexpr std::string_view kCodecPreferenceKey =
    "HKEY_CURRENT_USER\\Software\\DivXNetworks\\DivX4Windows";
inline constexpr std::string_view kCodecFeedbackValue = "Disable feedback";
// Longer values are not the codec's own and are left alone.
inline constexpr std::size_t kCodecPreferenceMaxBytes = 260;

// The registry of this system. Linux has none, so every key is missing there
// and nothing is ever written.
std::unique_ptr<PreferenceRegistry> systemPreferenceRegistry();

// Keeps the codec from showing its feedback window in the middle of a join:
// sets the first byte of its "Disable feedback" value to 1, where that value
// exists. Always succeeds; a missing key or value is no failure.
void disableCodecFeedback(PreferenceRegistry& registry);
void disableCodecFeedback();

} // namespace kestrine

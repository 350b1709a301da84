// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_result.h"

#include <string>

namespace kestrine {

// A short sentence, at most 160 characters, for our codes and FFmpeg's.
std::string describeResult(MediaResult result);

} // namespace kestrine

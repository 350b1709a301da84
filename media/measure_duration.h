// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/media_result.h"
#include "output/media_time.h"

#include <string>

namespace kestrine {

// The exact playing length of a file's first decodable audio stream: the
// length that rendering the whole file writes.
MediaResult measureDuration(const std::string& path, MediaTime& duration);

} // namespace kestrine

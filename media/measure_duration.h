// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/format_choice.h"
#include "output/framework/media_result.h"
#include "output/framework/media_time.h"

#include <stop_token>
#include <string>

namespace kestrine {

// The exact playing length of a file's first decodable audio stream: the
// length that rendering the whole file writes.
MediaResult measureDuration(const std::string& path, MediaTime& duration);

// The rate measureDuration counts the file's frames at: its length is a whole
// number of frames at this rate, unless its format changes part-way.
MediaResult measuredRateOf(const std::string& path, int& rate, std::stop_token stop = {});

// The file's rate (as measuredRateOf), channels, and whether it carries more
// than 16 bits; its length is left alone.
MediaResult measuredFormatOf(const std::string& path, SourceFormat& format, std::stop_token stop = {});

} // namespace kestrine

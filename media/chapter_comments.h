// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/markers.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace kestrine {

// The most chapters the comments can number: readers take the number as
// three digits, so CHAPTER1000NAME would name chapter 100.
inline constexpr std::size_t kMostChapterComments = 999;

// The markers as Vorbis comments, the way FLAC and Ogg files carry chapters:
// CHAPTER001=HH:MM:SS.mmm (to the nearest millisecond) and CHAPTER001NAME=label
// (as valid UTF-8), numbered from one in output order. Only the first
// kMostChapterComments markers are written.
std::vector<std::pair<std::string, std::string>> chapterComments(const std::vector<Marker>& markers,
                                                                 int sampleRate);

} // namespace kestrine

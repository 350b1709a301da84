// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/markers.h"

#include <string>
#include <utility>
#include <vector>

namespace kestrine {

// The markers as Vorbis comments, the way FLAC and Ogg files carry chapters:
// CHAPTER001=HH:MM:SS.mmm (to the nearest millisecond) and CHAPTER001NAME=label,
// numbered from one in output order.
std::vector<std::pair<std::string, std::string>> chapterComments(const std::vector<Marker>& markers,
                                                                 int sampleRate);

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_result.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrine {

// MP3 and Ogg Opus files carry their chapters before the sound, written when
// the join began. When a join stops early, these rewrite them in place for
// the sources it reached: the tag keeps its size, so no byte after it moves.

// Puts `tag`, an ID3v2 tag, in the place of the one at the start of the file,
// padded with zeros to that one's size. result::kUnexpected when the file
// does not start with a tag at least as large.
MediaResult replaceId3Tag(int fd, const std::vector<std::uint8_t>& tag);

// Leaves the first `kept` chapters in the comment header of an Ogg Opus file
// and drops the CHAPTERnnn comments after them; zero padding takes their
// room, which the format allows. result::kUnexpected when the file does not
// start with the headers that FFmpeg's Ogg muxer writes.
MediaResult keepOpusChapters(int fd, std::size_t kept);

} // namespace kestrine

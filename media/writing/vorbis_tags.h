// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/output_tags.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kestrine {

// The tags as Vorbis comments, which FLAC and Ogg files carry: TITLE,
// ALBUM, ARTIST, ALBUMARTIST, GENRE, DATE, COMPOSER and COMMENT.
std::vector<std::pair<std::string, std::string>> vorbisCommentsOf(const OutputTags& tags);

// The body of a FLAC PICTURE block holding `cover` as the front cover; no
// size or colour depth is given, which the format allows.
std::vector<std::uint8_t> flacPictureOf(const Picture& cover);

// The same picture as an Ogg file's METADATA_BLOCK_PICTURE comment: base64.
std::string metadataBlockPictureOf(const Picture& cover);

} // namespace kestrine

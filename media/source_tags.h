// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/ffmpeg.h"
#include "output/framework/media_result.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kestrine {

// An image a file carries as its cover.
struct Picture {
    std::vector<std::uint8_t> bytes;
    std::string mimeType; // "image/jpeg" or "image/png"
    bool empty() const { return bytes.empty(); }
};

// The tags a join carries from its sources to its output, by FFmpeg's
// generic names: album, artist, album_artist, genre, date, composer and
// comment. Titles and track numbers name one item, not the join.
inline constexpr const char* kCarriedTags[] = {"album", "artist", "album_artist", "genre",
                                                "date",  "composer", "comment"};

// What a source says about itself in its container's tags.
struct SourceTags {
    std::string title; // empty when it has none
    std::vector<std::pair<std::string, std::string>> fields; // those of kCarriedTags it has, in that order
    Picture cover; // its embedded front cover, or the first picture it carries
};

// "image/jpeg" or "image/png" by what the bytes start with; empty for
// anything else.
std::string imageTypeOf(const std::vector<std::uint8_t>& bytes);

// The tags of an open file: the container's, then those of its streams
// (Ogg and Matroska keep them there), the first of a name winning.
SourceTags tagsOf(const AVFormatContext& context);

// Opens the container of the file at `path` (nothing is decoded) and reads its tags.
MediaResult readSourceTags(const std::string& path, SourceTags& tags);

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/ffmpeg.h"
#include "media/output_tags.h"
#include "media/source_chapters.h"
#include "output/framework/media_framework.h"
#include "output/framework/media_result.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kestrine {

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
    std::vector<SourceChapter> chapters; // those it marks in itself (chaptersOf)
};

// "image/jpeg" or "image/png" by what the bytes start with; empty for
// anything else.
std::string imageTypeOf(const std::vector<std::uint8_t>& bytes);

// The tags of an open file: the container's, then those of its streams
// (Ogg and Matroska keep them there), the first of a name winning; and its
// chapters.
SourceTags tagsOf(const AVFormatContext& context);

// Opens the container of the file at `path` (nothing is decoded) and reads its tags.
MediaResult readSourceTags(const std::string& path, SourceTags& tags);

// Covers larger than this are left out: no player needs one, and a FLAC
// picture block cannot hold 16 MiB.
inline constexpr std::size_t kLargestCoverBytes = 16'000'000;

// The cover in the image file at `path`. result::kCoverNotImage for a file
// that is not a JPEG or PNG image, result::kCoverTooLarge past
// kLargestCoverBytes, FFmpeg's code when it cannot be read.
MediaResult readCoverFile(const std::string& path, Picture& cover);

// A `cover`, `folder` or `front` image (.jpg, .jpeg or .png, in any case)
// in `folder`, as music folders keep them; empty when there is none that
// readCoverFile takes.
Picture findFolderCover(const std::string& folder);

// The output's tags: each of kCarriedTags the sources all agree on, or else
// the first source's that has it; the album as the title; the choices'
// title, artist, album and cover instead of the sources'. The cover is the
// first source's embedded one that is a JPEG or PNG image, or else an image
// beside the first source (findFolderCover). Every value valid UTF-8.
OutputTags outputTagsOf(const std::vector<SourceTags>& sources, const std::string& firstSourcePath,
                        const TagOptions& choices);

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/render_plan.h"

#include <cstdint>
#include <string>
#include <vector>

// Reading back what a compressed join wrote, through libavformat.
namespace kestrine::testmedia {

// What FFmpeg decodes from the file, in frames, -1 when it cannot. An MP4
// file's edit list says where its sound ends, and FFmpeg decodes the last AAC
// frame whole: there the length the file states is what a player plays, and
// the decode must hold it and no more than one AAC frame beyond (checked).
std::int64_t playedFrames(const std::string& path, Encoding encoding);

// FFmpeg's name for the codec of the file's first stream ("flac", "mp3",
// "aac", "opus", "pcm_s16le"), empty when it cannot be opened.
std::string codecOf(const std::string& path);

struct Chapter {
    std::int64_t ms = 0;    // the start, to the nearest millisecond
    std::int64_t endMs = 0; // the end, likewise; libavformat's guess when the file gives none
    std::string title;
};

// The chapters libavformat finds in the file.
std::vector<Chapter> chaptersOf(const std::string& path);

// What the reference FLAC decoder says against the file (`flac -t`: every
// frame's checksum and the MD5 of the whole sound); empty when it accepts it.
std::string flacTestFailure(const std::string& path);

} // namespace kestrine::testmedia

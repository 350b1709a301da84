// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_time.h"

#include <string>
#include <vector>

struct AVFormatContext;

namespace kestrine {

// A chapter a source file marks in itself.
struct SourceChapter {
    MediaTime start = 0; // from the start of the file's sound
    std::string title;   // empty when the file names none
};

// The chapters of an open file, in the order they start, as FFmpeg reads
// them: MP4 chapters (Nero and QuickTime), ID3 CHAP frames, Matroska
// chapters, a FLAC cue sheet's tracks, CHAPTERnnn comments in FLAC and Ogg,
// and a WAV file's cue points with their labels.
std::vector<SourceChapter> chaptersOf(const AVFormatContext& context);

} // namespace kestrine

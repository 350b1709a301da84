// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_result.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrine {

// One entry of a track's edit list: `duration` of the movie's time scale
// plays the track's media from `mediaTime` (-1: an empty edit) at `rate`.
struct Mp4Edit {
    std::uint64_t duration = 0;
    std::int64_t mediaTime = 0;
    std::int32_t rate = 0x10000; // 16.16 fixed point
};

// How one track of an MP4 file says it plays: the time scales, and the
// edit list that cuts the encoder's priming and padding off its media.
struct Mp4TrackTiming {
    std::uint32_t movieTimeScale = 0;
    std::uint32_t mediaTimeScale = 0;
    bool hasEditList = false;
    std::vector<Mp4Edit> edits;
};

// Reads the timing of the track whose ID is `trackId` (FFmpeg's stream id
// for MP4) from the moov box of the MP4 file at `path`. result::kFalse when
// the file holds no such track or no moov box a reader could walk; a
// failure only when the file cannot be read.
MediaResult readMp4TrackTiming(const std::string& path, std::uint32_t trackId, Mp4TrackTiming& timing);

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/output_tags.h"

#include <string>
#include <utility>
#include <vector>

namespace kestrine {

using TagFields = std::vector<std::pair<std::string, std::string>>;

// The four ReplayGain tags, by the names players look for
// (REPLAYGAIN_TRACK_GAIN "-2.35 dB", REPLAYGAIN_TRACK_PEAK "0.912345", and
// the album's), with '.' as the decimal point whatever the locale. The file
// is one track and its own album, so both say the same.
TagFields replayGainFieldsOf(const PlaybackGain& gain);

// Opus's own: R128_TRACK_GAIN and R128_ALBUM_GAIN, in 1/256 dB from the
// file's loudness to -23 LUFS on top of the header's output gain.
TagFields r128FieldsOf(const PlaybackGain& gain);

} // namespace kestrine

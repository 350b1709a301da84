// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/loudness/replay_gain.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace kestrine {
namespace {

// Opus's gains are relative to this loudness, whatever the join's target.
constexpr double kOpusReferenceLoudness = -23.0;

std::string fixed(double value, int decimals)
{
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return std::string(text, written.ptr);
}

} // namespace

TagFields replayGainFieldsOf(const PlaybackGain& gain)
{
    const std::string decibels = fixed(gain.gain, 2) + " dB";
    const std::string peak = fixed(gain.peak, 6);
    return {{"REPLAYGAIN_TRACK_GAIN", decibels},
            {"REPLAYGAIN_TRACK_PEAK", peak},
            {"REPLAYGAIN_ALBUM_GAIN", decibels},
            {"REPLAYGAIN_ALBUM_PEAK", peak}};
}

TagFields r128FieldsOf(const PlaybackGain& gain)
{
    const double decibels = std::isfinite(gain.loudness) ? kOpusReferenceLoudness - gain.loudness : 0.0;
    // A signed Q7.8 number, as the header's output gain is.
    const long q78 = std::clamp(std::lround(decibels * 256.0), long{INT16_MIN}, long{INT16_MAX});
    const std::string value = std::to_string(q78);
    return {{"R128_TRACK_GAIN", value}, {"R128_ALBUM_GAIN", value}};
}

} // namespace kestrine

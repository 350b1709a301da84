// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_result.h"

#include <cstdint>
#include <stop_token>
#include <string>
#include <vector>

namespace kestrine {

// AAC-LC's access units each play 1,024 samples.
inline constexpr int kAacUnitSamples = 1024;

// Where one access unit lies in its file.
struct AacUnit {
    std::uint64_t offset = 0;
    std::uint32_t size = 0;
};

// AAC's window sequences: which halves of a unit's transform are long.
enum class AacWindow { OnlyLong = 0, LongStart = 1, EightShort = 2, LongStop = 3 };

// The overlap a unit shares with the unit before it is long.
inline bool startsLong(AacWindow window)
{
    return window == AacWindow::OnlyLong || window == AacWindow::LongStart;
}
// The overlap a unit shares with the unit after it is long.
inline bool endsLong(AacWindow window)
{
    return window == AacWindow::OnlyLong || window == AacWindow::LongStop;
}

// Reads the start of an AAC-LC access unit of `channels` channels (1: one
// single channel element, 2: one channel pair) at the rate of sampling
// frequency index `rateIndex`, up to its window sequence. False when what
// is there cannot be such a unit: a damaged one, as far as its first bytes
// tell.
bool inspectAacUnit(const std::uint8_t* data, std::size_t size, int channels, int rateIndex, AacWindow& window);

// The access units of an AAC-LC sound track in an MP4 file, and what its
// edit list says: the encoder's priming before the sound, and how long the
// sound plays after it.
struct AacSourceUnits {
    std::vector<AacUnit> units; // every unit of the track, from its first
    int sampleRate = 0;
    int channels = 0;
    int rateIndex = 0;              // of the AudioSpecificConfig
    std::vector<std::uint8_t> setup; // the AudioSpecificConfig
    std::int64_t priming = 0;        // samples of the first units before the sound
    std::int64_t bitRate = 0;        // the units' average
    std::uint32_t trackId = 0;

    // The samples the units hold past the priming.
    std::int64_t samplesAfterPriming() const
    {
        return static_cast<std::int64_t>(units.size()) * kAacUnitSamples - priming;
    }
};

// Reads the units of the file at `path`, which is to play `frames` samples.
// When something stands in the way of copying them exactly, `reason` says
// what, as words after the file's name ("NAME holds AAC without ..."): AAC
// in ADTS or without an edit list (no priming stated), another profile
// than LC, an edit list that does more than trim, a length other than the
// edit list states. A failure only when the file cannot be opened or read.
MediaResult readAacSourceUnits(const std::string& path, std::int64_t frames, AacSourceUnits& source,
                               std::string& reason, std::stop_token stop = {});

} // namespace kestrine

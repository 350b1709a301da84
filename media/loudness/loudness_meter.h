// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_result.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace kestrine {

// Integrated loudness and true peak of one stream of output frames, by
// EBU R128 (ITU-R BS.1770), through libebur128. Memory stays the same
// whatever the length of the sound.
class LoudnessMeter {
public:
    // result::kInvalidArgument for a layout libebur128 cannot measure,
    // result::kOutOfMemory when it cannot start.
    static MediaResult create(int channels, int sampleRate, int bitsPerSample,
                              std::unique_ptr<LoudnessMeter>& meter);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // Frames as the render writes them: 16-bit, or 24-bit packed,
    // little-endian and interleaved.
    MediaResult addFrames(const void* data, std::int64_t frames);
    MediaResult addSilence(std::int64_t frames);

    // LUFS; -infinity when nothing rises above the absolute gate (silence).
    double integrated() const;
    // The highest true peak of any channel, linear (1.0 is full scale).
    double truePeak() const;

    // The integrated loudness of all the meters' sound taken as one stream.
    static double integratedOf(const std::vector<LoudnessMeter*>& meters);

private:
    struct State; // libebur128's, whose type has no name to declare here
    LoudnessMeter(std::unique_ptr<State> state, int channels, int bitsPerSample);

    std::unique_ptr<State> state_;
    int channels_;
    int bitsPerSample_;
    std::vector<std::int32_t> unpacked_; // 24-bit samples widened for libebur128
};

// Decibels from a linear gain and back; -infinity for 0.
double decibelsOf(double linear);
double linearOf(double decibels);

} // namespace kestrine

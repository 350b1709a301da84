// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_result.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace kestrine {

// The 400 ms blocks of some sound that pass the absolute gate (-70 LUFS),
// kept by loudness in bins of 0.01 LU with their exact energy: enough to
// gate any union of them, so that a join's loudness comes from its sources'
// blocks without keeping the sources' meters. Fixed in size, whatever the
// length of the sound.
class GatedBlocks {
public:
    void add(double energy);
    void merge(const GatedBlocks& other);
    // LUFS, by the relative gate of -10 LU; -infinity when no block passed
    // the absolute gate (silence).
    double integrated() const;

private:
    struct Bin {
        std::uint64_t count = 0;
        double energy = 0.0;
    };
    std::vector<Bin> bins_; // made at the first block
};

// Integrated loudness and true peak of one stream of output frames, by
// EBU R128 (ITU-R BS.1770-4): K-weighting, 400 ms blocks every 100 ms,
// the absolute and relative gates, and true peak through 4× oversampling
// (2× from 96 kHz; from 192 kHz the samples themselves). Its figures agree
// with libebur128's, which measures the same way at several times the cost.
// Memory stays the same whatever the length of the sound.
class LoudnessMeter {
public:
    // result::kInvalidArgument for a layout it cannot measure.
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
    double integrated() const { return blocks_.integrated(); }
    // The highest true peak of any channel, linear (1.0 is full scale).
    double truePeak() const;
    // The highest sample of any channel, linear.
    double samplePeak() const;
    const GatedBlocks& blocks() const { return blocks_; }

    // One second-order stage of the K-weighting filter.
    struct Biquad {
        double b0, b1, b2, a1, a2;
    };

private:
    struct Channel;
    struct Interpolator;
    static void weighChannel(const double* in, int stride, std::int64_t count, const Biquad& s, const Biquad& h,
                             Channel& channel);
    template <int kChannels>
    static void weighChannels(const double* in, std::int64_t count, const Biquad& s, const Biquad& h,
                              Channel* channels);
    LoudnessMeter(int channels, int sampleRate, int bitsPerSample);
    void addSamples(const double* samples, std::int64_t frames); // interleaved, full scale 1.0
    void measurePeaks(const double* samples, std::int64_t frames);

    int channels_;
    int bitsPerSample_;
    std::int64_t framesPer100ms_;
    std::vector<Channel> channelStates_;
    Biquad shelf_{};    // the K-weighting's two stages
    Biquad highPass_{};
    std::unique_ptr<Interpolator> interpolator_; // none from 192 kHz
    // The weighted energy of the last four 100 ms parts, and how far the newest has come.
    std::array<double, 4> parts_{};
    int partsDone_ = 0;
    std::int64_t partFrames_ = 0;
    GatedBlocks blocks_;
    std::vector<double> widened_; // a chunk of frames as doubles
};

// Decibels from a linear gain and back; -infinity for 0.
double decibelsOf(double linear);
double linearOf(double decibels);

} // namespace kestrine

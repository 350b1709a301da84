// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/loudness/loudness_meter.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace kestrine {
namespace {

// Frames handed to libebur128 at once: its work per call is per frame, and a
// small buffer of widened samples stays in the cache.
constexpr std::int64_t kChunkFrames = 4096;
// The histogram keeps the gating's memory fixed, where the default list of
// blocks grows by ten entries a second.
constexpr int kMeterMode = EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK | EBUR128_MODE_HISTOGRAM;

MediaResult resultOf(int error)
{
    switch (error) {
    case EBUR128_SUCCESS:
        return result::kOk;
    case EBUR128_ERROR_NOMEM:
        return result::kOutOfMemory;
    default:
        return result::kInvalidArgument;
    }
}

} // namespace

struct LoudnessMeter::State {
    explicit State(ebur128_state* made) : state(made) {}
    ~State() { ebur128_destroy(&state); }
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ebur128_state* state;
};

MediaResult LoudnessMeter::create(int channels, int sampleRate, int bitsPerSample,
                                  std::unique_ptr<LoudnessMeter>& meter)
{
    if (channels < 1 || sampleRate < 1 || (bitsPerSample != 16 && bitsPerSample != 24))
        return result::kInvalidArgument;
    ebur128_state* state =
        ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(sampleRate), kMeterMode);
    if (!state)
        return result::kOutOfMemory;
    meter.reset(new LoudnessMeter(std::make_unique<State>(state), channels, bitsPerSample));
    return result::kOk;
}

LoudnessMeter::LoudnessMeter(std::unique_ptr<State> state, int channels, int bitsPerSample)
    : state_(std::move(state)), channels_(channels), bitsPerSample_(bitsPerSample)
{
}

LoudnessMeter::~LoudnessMeter() = default;

MediaResult LoudnessMeter::addFrames(const void* data, std::int64_t frames)
{
    if (bitsPerSample_ == 16) {
        const auto* samples = static_cast<const short*>(data);
        while (frames > 0) {
            const std::int64_t count = std::min(frames, kChunkFrames);
            if (const int error = ebur128_add_frames_short(state_->state, samples, static_cast<std::size_t>(count)))
                return resultOf(error);
            samples += count * channels_;
            frames -= count;
        }
        return result::kOk;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    unpacked_.resize(static_cast<std::size_t>(kChunkFrames * channels_));
    while (frames > 0) {
        const std::int64_t count = std::min(frames, kChunkFrames);
        const std::int64_t samples = count * channels_;
        for (std::int64_t i = 0; i < samples; ++i, bytes += 3) {
            // The sample in the top 24 bits of an int keeps its sign and full scale.
            const std::uint32_t widened = std::uint32_t(bytes[0]) << 8 | std::uint32_t(bytes[1]) << 16 |
                                          std::uint32_t(bytes[2]) << 24;
            unpacked_[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(widened);
        }
        if (const int error = ebur128_add_frames_int(state_->state, unpacked_.data(), static_cast<std::size_t>(count)))
            return resultOf(error);
        frames -= count;
    }
    return result::kOk;
}

MediaResult LoudnessMeter::addSilence(std::int64_t frames)
{
    const std::vector<short> zeros(static_cast<std::size_t>(std::min(frames, kChunkFrames) * channels_), 0);
    while (frames > 0) {
        const std::int64_t count = std::min(frames, kChunkFrames);
        if (const int error = ebur128_add_frames_short(state_->state, zeros.data(), static_cast<std::size_t>(count)))
            return resultOf(error);
        frames -= count;
    }
    return result::kOk;
}

double LoudnessMeter::integrated() const
{
    double loudness = -std::numeric_limits<double>::infinity();
    if (ebur128_loudness_global(state_->state, &loudness) != EBUR128_SUCCESS)
        return -std::numeric_limits<double>::infinity();
    return loudness;
}

double LoudnessMeter::truePeak() const
{
    double highest = 0.0;
    for (int channel = 0; channel < channels_; ++channel) {
        double peak = 0.0;
        if (ebur128_true_peak(state_->state, static_cast<unsigned>(channel), &peak) == EBUR128_SUCCESS)
            highest = std::max(highest, peak);
    }
    return highest;
}

double LoudnessMeter::integratedOf(const std::vector<LoudnessMeter*>& meters)
{
    std::vector<ebur128_state*> states;
    for (LoudnessMeter* meter : meters)
        states.push_back(meter->state_->state);
    double loudness = -std::numeric_limits<double>::infinity();
    if (states.empty() || ebur128_loudness_global_multiple(states.data(), states.size(), &loudness) != EBUR128_SUCCESS)
        return -std::numeric_limits<double>::infinity();
    return loudness;
}

double decibelsOf(double linear)
{
    return linear > 0.0 ? 20.0 * std::log10(linear) : -std::numeric_limits<double>::infinity();
}

double linearOf(double decibels)
{
    return std::pow(10.0, decibels / 20.0);
}

} // namespace kestrine

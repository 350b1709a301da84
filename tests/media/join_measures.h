// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

// How closely a join of copied frames plays its sources around each join,
// on interleaved samples.
namespace kestrine::testing {

// The signal-to-noise ratio of `tested` against `reference` over samples [from, to), in dB.
inline double snrDb(const std::vector<float>& reference, const std::vector<float>& tested, std::size_t from,
                    std::size_t to)
{
    double signal = 0.0;
    double noise = 0.0;
    for (std::size_t i = from; i < to; ++i) {
        signal += double(reference[i]) * reference[i];
        noise += (double(tested[i]) - reference[i]) * (double(tested[i]) - reference[i]);
    }
    return noise == 0.0 ? 200.0 : 10.0 * std::log10(signal / noise);
}

// The lag within ±`reach` samples at which `tested` best matches `reference`
// over frames [from, to): 0 for a join with no gap and no overlap.
inline int bestLag(const std::vector<float>& reference, const std::vector<float>& tested, int channels,
                   std::int64_t from, std::int64_t to, int reach)
{
    int best = 0;
    double bestError = INFINITY;
    for (int lag = -reach; lag <= reach; ++lag) {
        double error = 0.0;
        for (std::int64_t n = from; n < to; ++n)
            for (int c = 0; c < channels; ++c) {
                const double d = double(tested[static_cast<std::size_t>((n + lag) * channels + c)]) -
                                 reference[static_cast<std::size_t>(n * channels + c)];
                error += d * d;
            }
        if (error < bestError) {
            bestError = error;
            best = lag;
        }
    }
    return best;
}

} // namespace kestrine::testing

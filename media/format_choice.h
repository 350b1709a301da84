// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/render_plan.h"
#include "output/framework/media_framework.h"

#include <string>
#include <vector>

namespace kestrine {

// The rate nearest to `rate` that `encoding` can hold; a tie goes to the higher.
int nearestRateFor(Encoding encoding, int rate);

// The output format of a join into `encoding`: the request's values where
// it gives them, the sources' otherwise. The rate is the sources' own when
// they agree, else the one that carries the largest share of the join; mono
// only when every source is; 24 bits where the container takes them and
// any source has more than 16.
OutputFormat chooseOutputFormat(Encoding encoding, const AudioFormatRequest& request,
                                const std::vector<SourceFormat>& sources);

// Why `request` cannot be written as `encoding`, as a sentence that names
// the values allowed; empty when it can.
std::string formatRequestProblem(const AudioFormatRequest& request, Encoding encoding);

// Why the loudness asked for cannot be had in `encoding`, as a sentence
// naming the values allowed; empty when it can.
std::string loudnessRequestProblem(const LoudnessRequest& request, Encoding encoding);

// The request made to fit `encoding`: a rate it cannot hold becomes the
// nearest it can, a bit rate or quality the nearest it takes, and what the
// format has no use for follows the sources. For choices made once for
// every output, as the window's are.
AudioFormatRequest fitFormatRequest(const AudioFormatRequest& request, Encoding encoding);

// The encoding's name as users know it: "WAV", "FLAC", "MP3", "Opus", "M4A".
std::string encodingName(Encoding encoding);

// What a join in `format` writes, as "48,000 Hz mono, 24-bit FLAC".
std::string formatSummary(const OutputFormat& format);

} // namespace kestrine

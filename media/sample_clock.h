// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/format_choice.h"
#include "media/render_plan.h"
#include "media/source_tags.h"
#include "output/framework/media_result.h"

#include <cstddef>
#include <stop_token>
#include <vector>

namespace kestrine {

// Lays the plan's sources on the output's sample clock. The timeline's 100 ns
// positions describe the join, but a frame rounded from each of them adds up:
// a thousand sources of one frame each would make 1,001 frames. Here each
// source takes exactly its own frames (its media length at `sourceRates[i]`,
// the rate its frames were counted at), converted to the output's rate, and
// the fraction of a frame that conversion leaves is carried to the next
// source instead of being rounded away again. A gap between two sources on
// the timeline stays a gap of the same frames. Every source's soundFrames is
// set to the frames its range holds.
void placeOnSampleClock(RenderPlan& plan, const std::vector<int>& sourceRates);

// What each source of the plan brings to the output's format: the rate it
// was counted at when it was measured, its channels, its resolution, and its
// share of the timeline. The files are opened side by side. On failure,
// `failedSource` is the plan's index of the first source that cannot be
// opened any more, and the result says why: FFmpeg's reason, or
// result::kSourceShrank for a file that is now empty.
// With `sourceTags`, each source's tags are read while its file is at hand
// (a file whose tags cannot be read has none).
MediaResult findSourceFormats(const RenderPlan& plan, std::vector<SourceFormat>& sourceFormats,
                              std::ptrdiff_t& failedSource, std::stop_token stop = {},
                              std::vector<SourceTags>* sourceTags = nullptr);
// Names each source by the title its tags give it, and gives it the
// chapters its file marks.
void takeSourceTitles(RenderPlan& plan, const std::vector<SourceTags>& sourceTags);

} // namespace kestrine

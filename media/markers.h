// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/render_plan.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrine {

// Where one source starts in the output, for players and editors to find.
struct Marker {
    std::int64_t frame = 0; // the source's first frame, at the plan's rate
    std::string label;      // the source's title, else its file name without folder and extension
};

// The name a source's marker has: its title tag, or without one the file's
// name without its folder and extension.
std::string markerLabelOf(const RenderPlan& plan, std::size_t source);

// One marker per source, in output order; none when the plan asks for none.
std::vector<Marker> markersOf(const RenderPlan& plan);

// One marker per source, whether or not the output file carries them: what
// lists written beside the output (a cue sheet, a label list) are made of.
std::vector<Marker> sourceStartsOf(const RenderPlan& plan);

// The markers of the sources an output holds when `frames` were written: a
// stopped join keeps those that start inside its sound.
std::vector<Marker> markersReached(const std::vector<Marker>& markers, std::int64_t frames);

} // namespace kestrine

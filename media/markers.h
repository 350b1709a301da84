// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/render_plan.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrine {

// Where one source, or one chapter of a source, starts in the output, for
// players and editors to find.
struct Marker {
    std::int64_t frame = 0; // its first frame, at the plan's rate
    std::string label;      // the chapter's title, or the source's (markerLabelOf)
};

// The name a source's marker has: its title tag, or without one the file's
// name without its folder and extension.
std::string markerLabelOf(const RenderPlan& plan, std::size_t source);

// The source's own chapters at its place in the output, cut to the part of
// it that is joined: a chapter that starts past its end is left out, and
// the first one starts where the source does. A chapter without a title is
// named by the source's label and its number among them ("talk 2"). Empty
// for a source without chapters.
std::vector<Marker> chapterMarkersOf(const RenderPlan& plan, std::size_t source);

// The markers of every source in output order, each source's chapters or,
// without any, one at its start; none when the plan asks for none.
std::vector<Marker> markersOf(const RenderPlan& plan);

// The same markers whether or not the output file carries them: what lists
// written beside the output (a cue sheet, a label list) are made of.
std::vector<Marker> sourceStartsOf(const RenderPlan& plan);

// The markers of the sources an output holds when `frames` were written: a
// stopped join keeps those that start inside its sound.
std::vector<Marker> markersReached(const std::vector<Marker>& markers, std::int64_t frames);

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/markers.h"
#include "media/render_plan.h"
#include "output/framework/media_framework.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestrine {

// Where each source starts, in the text forms that programs which cannot read
// markers inside a file import: a cue sheet and a label list.

// A cue sheet for `audioFile`, the name it refers to the joined file by: one
// track per marker, titled with its label, whose INDEX 01 is the marker's
// frame at `sampleRate` rounded to the nearest 1/75 s, the finest a cue sheet
// can say. Double quotes in names become single ones, as a cue sheet has no
// way to escape them.
std::string cueSheetText(const std::vector<Marker>& markers, int sampleRate, const std::string& audioFile);

// One line per marker, "start<TAB>end<TAB>label", in seconds with six
// decimals, as audio editors import labels: each ends where the next one
// starts, the last at `endFrame`.
std::string labelListText(const std::vector<Marker>& markers, int sampleRate, std::int64_t endFrame);

// Track numbers in a cue sheet have two digits.
inline constexpr std::size_t kMostCueTracks = 99;

// result::kMarkerListClash when a list `options` asks for would overwrite
// the output, one of the sources or the other list (checkSideFilePath);
// result::kCueSheetTooLong for a cue sheet of more than kMostCueTracks sources.
MediaResult checkMarkerLists(const MarkerOptions& options, const std::string& outputPath,
                             const std::vector<std::string>& sources);

// result::kCueSheetTooManyChapters when `options` asks for a cue sheet and
// the markers of `plan`, with the sources' own chapters, are more than
// kMostCueTracks: a join refused before it writes anything beats a cue
// sheet that leaves chapters out.
MediaResult checkCueSheetTracks(const RenderPlan& plan, const MarkerOptions& options);

// Writes the lists `options` asks for, beside the complete join of `plan`
// at `outputPath`. Each goes through a partial file that takes its name in
// one step. result::kMarkerListFailed when one cannot be written.
MediaResult writeMarkerLists(const RenderPlan& plan, const std::string& outputPath,
                             const MarkerOptions& options);

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/copying/frame_copier.h"
#include "media/render_plan.h"

#include <memory>
#include <stop_token>
#include <string>

namespace kestrine {

// Whether the join is asked for sound other than its sources': encoded
// again on purpose, at a bit rate or quality of its own. The one question
// that keeps a join off the copy road whatever its sources are; a rate,
// channels or bits other than theirs show in the sources' own check.
bool asksToChangeSound(const RenderPlan& plan);

// The road a join takes and, on the copy road, the copier that takes it.
struct RoadChoice {
    JoinRoad road = JoinRoad::Encode;
    std::unique_ptr<FrameCopier> copier;
    std::string reason; // why not the copy road; empty on it
};

// Looks at every source of the plan, one file open at a time: the copy road
// when the output's codec has a copier and every source fills its range,
// back to back from the output's start to its end, with frames that the
// copier takes as they are; otherwise the encode road. A source that does
// not open here is left to the encode road to report.
RoadChoice chooseJoinRoad(const RenderPlan& plan, std::stop_token stop = {});

// Writes the plan into `path` by copying its sources' frames, through a
// partial file as renderJoin does, keeping what renderJoin promises of a
// join stopped or failed. result::kFalse, with nothing left behind, when a
// source turns out not to be copyable after all: the join is to be made on
// the encode road.
MediaResult copyJoin(const RenderPlan& plan, FrameCopier& copier, const std::string& path,
                     RenderProgress& progress, std::stop_token stop);

} // namespace kestrine

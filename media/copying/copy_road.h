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

// The copy road of one output codec: whether a join can take it, and the
// join written by copying. One class per codec, made by makeJoinCopier.
class JoinCopier {
public:
    virtual ~JoinCopier() = default;
    // Why the join of `plan` cannot copy its sources' frames, after the
    // file's name; empty when it can. Looks at every source; a source that
    // does not open is left to the encode road to report.
    virtual std::string whyNotCopied(const RenderPlan& plan, std::stop_token stop) = 0;
    // Writes the join into `path` as renderJoin promises, by copying.
    // result::kFalse, with nothing left behind, when a source turns out not
    // to be copyable after all: the join is to be made on the encode road.
    virtual MediaResult write(const RenderPlan& plan, const std::string& path, RenderProgress& progress,
                              std::stop_token stop) = 0;
};

// A codec whose frames go in one source after another, each copied by a
// FrameCopier (FLAC).
class FrameByFrameCopier final : public JoinCopier {
public:
    explicit FrameByFrameCopier(std::unique_ptr<FrameCopier> copier) : copier_(std::move(copier)) {}
    std::string whyNotCopied(const RenderPlan& plan, std::stop_token stop) override;
    MediaResult write(const RenderPlan& plan, const std::string& path, RenderProgress& progress,
                      std::stop_token stop) override;

private:
    std::unique_ptr<FrameCopier> copier_;
};

// The road a join takes and, on the copy road, the copier that takes it.
struct RoadChoice {
    JoinRoad road = JoinRoad::Encode;
    std::unique_ptr<JoinCopier> copier;
    std::string reason; // why not the copy road; empty on it
};

// The copy road when nothing asks to change the sound and the output's
// codec has a copier that takes every source; otherwise the encode road.
RoadChoice chooseJoinRoad(const RenderPlan& plan, std::stop_token stop = {});

// Writes the plan into `path` by copying its sources' frames, through a
// partial file as renderJoin does, keeping what renderJoin promises of a
// join stopped or failed. result::kFalse, with nothing left behind, when a
// source turns out not to be copyable after all: the join is to be made on
// the encode road.
MediaResult copyJoin(const RenderPlan& plan, FrameCopier& copier, const std::string& path,
                     RenderProgress& progress, std::stop_token stop);

} // namespace kestrine

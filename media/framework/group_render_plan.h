// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/framework/ffmpeg_timeline.h"
#include "media/render_plan.h"

namespace kestrine {

// What rendering a group means: its sources in track order, each given the
// output frames it fills. Sources that fill no frame are left out, since they
// add nothing; sources that overlap cannot be placed one after another and
// are refused with kInvalidArgument. Only audio groups render. Frames are
// counted at `format`'s rate.
MediaResult makeRenderPlan(const FfmpegTimelineGroup& group, RenderPlan& plan, const OutputFormat& format = {});

// The end of the group's last source, 0 for an empty group.
MediaTime groupLength(const FfmpegTimelineGroup& group);

} // namespace kestrine

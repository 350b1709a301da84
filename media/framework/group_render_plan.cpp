// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/framework/group_render_plan.h"

#include <algorithm>

namespace kestrine {

MediaTime groupLength(const FfmpegTimelineGroup& group)
{
    MediaTime length = 0;
    for (const auto& source : group.allSources()) {
        MediaTime start = 0;
        MediaTime stop = 0;
        source->startStop(start, stop);
        length = std::max(length, stop);
    }
    return length;
}

MediaResult makeRenderPlan(const FfmpegTimelineGroup& group, RenderPlan& plan, const OutputFormat& format)
{
    if (group.majorType() != MajorType::Audio)
        return result::kInvalidArgument;
    RenderPlan made;
    made.format = format;
    made.length = groupLength(group);
    const auto sources = group.allSources();
    for (std::size_t index = 0; index < sources.size(); ++index) {
        const auto& source = sources[index];
        PlannedSource planned;
        planned.groupIndex = static_cast<int>(index);
        source->startStop(planned.start, planned.stop);
        source->mediaTimes(planned.mediaStart, planned.mediaStop);
        source->mediaName(planned.path);
        made.sources.push_back(std::move(planned));
    }
    if (const MediaResult counted = countPlanFrames(made); failed(counted))
        return counted;
    plan = std::move(made);
    return result::kOk;
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/framework/ffmpeg_render_engine.h"

#include "media/framework/ffmpeg_components.h"
#include "media/framework/ffmpeg_filter_graph.h"
#include "media/framework/ffmpeg_timeline.h"

#include <string>

namespace kestrine {

FfmpegRenderEngine::~FfmpegRenderEngine() = default;

MediaResult FfmpegRenderEngine::setTimelineObject(std::shared_ptr<Timeline> timeline)
{
    auto ours = std::dynamic_pointer_cast<FfmpegTimeline>(timeline);
    if (!ours)
        return result::kInvalidArgument;
    timeline_ = std::move(ours);
    return result::kOk;
}

MediaResult FfmpegRenderEngine::timelineObject(std::shared_ptr<Timeline>& timeline) const
{
    if (!timeline_)
        return result::kNoTimeline;
    timeline = timeline_;
    return result::kOk;
}

MediaResult FfmpegRenderEngine::setDynamicReconnectLevel(int level)
{
    if (level < 0)
        return result::kInvalidArgument;
    // Sources are opened when the render reaches them whatever the level, so
    // the level is only kept.
    reconnectLevel_ = level;
    return result::kOk;
}

MediaResult FfmpegRenderEngine::connectFrontEnd()
{
    if (!timeline_)
        return result::kNoTimeline;
    const auto groups = timeline_->groups();
    for (const auto& group : groups) {
        if (group->majorType() == MajorType::None)
            return result::kInvalidArgument;
    }
    if (graph_) {
        if (graph_->isRunning())
            return result::kWrongState;
        for (const auto& source : groupSources_)
            graph_->removeFilter(source);
    } else {
        graph_ = std::make_shared<FfmpegFilterGraph>();
    }
    groupSources_.clear();
    for (std::size_t index = 0; index < groups.size(); ++index) {
        auto source = std::make_shared<FfmpegGroupSource>(groups[index]);
        if (const MediaResult added = graph_->addFilter(source, "Group " + std::to_string(index));
            failed(added))
            return added;
        groupSources_.push_back(std::move(source));
    }
    return result::kOk;
}

MediaResult FfmpegRenderEngine::filterGraph(std::shared_ptr<FilterGraph>& graph) const
{
    if (!graph_)
        return result::kNotConnected;
    graph = graph_;
    return result::kOk;
}

MediaResult FfmpegRenderEngine::groupOutputPin(int group, std::shared_ptr<Pin>& pin) const
{
    if (!graph_)
        return result::kNotConnected;
    if (group < 0 || group >= static_cast<int>(groupSources_.size()))
        return result::kNoGroup;
    pin = groupSources_[static_cast<std::size_t>(group)]->firstPin(PinDirection::Output);
    return result::kOk;
}

MediaResult FfmpegRenderEngine::scrapIt()
{
    if (graph_) {
        graph_->stop();
        graph_->removeAllFilters();
        graph_.reset();
    }
    groupSources_.clear();
    return result::kOk;
}

MediaResult FfmpegCaptureGraphBuilder::setFiltergraph(std::shared_ptr<FilterGraph> graph)
{
    auto ours = std::dynamic_pointer_cast<FfmpegFilterGraph>(graph);
    if (!ours)
        return result::kInvalidArgument;
    graph_ = std::move(ours);
    return result::kOk;
}

MediaResult FfmpegCaptureGraphBuilder::renderStream(std::shared_ptr<Pin> source,
                                                    std::shared_ptr<Filter> sink)
{
    if (!graph_)
        return result::kWrongState;
    auto from = std::dynamic_pointer_cast<FfmpegPin>(source);
    auto to = std::dynamic_pointer_cast<FfmpegFilter>(sink);
    if (!from || !to || from->direction() != PinDirection::Output)
        return result::kInvalidArgument;
    if (!from->owner() || !graph_->contains(*from->owner()) || !graph_->contains(*to))
        return result::kWrongState;
    bool busy = false;
    for (const auto& input : to->pins()) {
        if (input->direction() != PinDirection::Input || input->kind() != from->kind())
            continue;
        if (!input->isConnected())
            return graph_->connect(from, input);
        busy = true;
    }
    // No converter turns one kind of stream into another here: a group's
    // sound goes through the multiplexer, never straight into a file.
    return busy ? result::kWrongState : result::kInvalidArgument;
}

} // namespace kestrine

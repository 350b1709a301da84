// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_framework.h"

#include <memory>
#include <vector>

namespace kestrine {

class FfmpegFilterGraph;
class FfmpegGroupSource;
class FfmpegTimeline;

// Turns a timeline into a graph that ends in one output pin per group.
class FfmpegRenderEngine final : public RenderEngine {
public:
    ~FfmpegRenderEngine() override;

    MediaResult setTimelineObject(std::shared_ptr<Timeline> timeline) override;
    MediaResult timelineObject(std::shared_ptr<Timeline>& timeline) const override;
    MediaResult setDynamicReconnectLevel(int level) override;
    // A second call rebuilds the group filters in the same graph, so whoever
    // holds the graph keeps a valid one; refused while the graph runs.
    MediaResult connectFrontEnd() override;
    MediaResult filterGraph(std::shared_ptr<FilterGraph>& graph) const override;
    MediaResult groupOutputPin(int group, std::shared_ptr<Pin>& pin) const override;
    // Stops the graph and empties it: holders of its control see it as unconnected.
    MediaResult scrapIt() override;

private:
    std::shared_ptr<FfmpegTimeline> timeline_;
    std::shared_ptr<FfmpegFilterGraph> graph_;
    std::vector<std::shared_ptr<FfmpegGroupSource>> groupSources_;
    int reconnectLevel_ = 0;
};

// Connects a pin to a filter of the same graph.
class FfmpegCaptureGraphBuilder final : public CaptureGraphBuilder {
public:
    MediaResult setFiltergraph(std::shared_ptr<FilterGraph> graph) override;
    // Takes the sink's first free input pin that accepts the source's stream.
    MediaResult renderStream(std::shared_ptr<Pin> source, std::shared_ptr<Filter> sink) override;

private:
    std::shared_ptr<FfmpegFilterGraph> graph_;
};

} // namespace kestrine

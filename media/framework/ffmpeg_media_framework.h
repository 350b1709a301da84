// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/framework/ffmpeg_components.h"
#include "output/framework/media_framework.h"

#include <string_view>

namespace kestrine {

// The media framework on FFmpeg. Each object has its own component registry,
// holding the Wave Mux and the file writer from the start.
class FfmpegMediaFramework final : public MediaFramework {
public:
    MediaResult createTimeline(std::shared_ptr<Timeline>& timeline) override;
    MediaResult createRenderEngine(std::shared_ptr<RenderEngine>& engine) override;
    MediaResult createCaptureGraphBuilder(std::shared_ptr<CaptureGraphBuilder>& builder) override;
    MediaResult createFilterGraph(std::shared_ptr<FilterGraph>& graph) override;
    MediaResult createFilter(std::string_view classId, std::shared_ptr<Filter>& filter) override;
    std::string errorText(MediaResult result) const override;

    // Takes a component away, as on a system where it was never installed.
    void unregisterComponent(std::string_view classId);

private:
    ComponentRegistry components_;
};

} // namespace kestrine

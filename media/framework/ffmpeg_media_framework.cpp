// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/framework/ffmpeg_media_framework.h"

#include "media/framework/ffmpeg_filter_graph.h"
#include "media/framework/ffmpeg_render_engine.h"
#include "media/framework/ffmpeg_timeline.h"
#include "media/result_text.h"

namespace kestrine {

namespace {

constexpr std::size_t kMaxErrorTextLength = 160;

} // namespace

MediaResult FfmpegMediaFramework::createTimeline(std::shared_ptr<Timeline>& timeline)
{
    timeline = std::make_shared<FfmpegTimeline>();
    return result::kOk;
}

MediaResult FfmpegMediaFramework::createRenderEngine(std::shared_ptr<RenderEngine>& engine)
{
    engine = std::make_shared<FfmpegRenderEngine>();
    return result::kOk;
}

MediaResult FfmpegMediaFramework::createCaptureGraphBuilder(std::shared_ptr<CaptureGraphBuilder>& builder)
{
    builder = std::make_shared<FfmpegCaptureGraphBuilder>();
    return result::kOk;
}

MediaResult FfmpegMediaFramework::createFilterGraph(std::shared_ptr<FilterGraph>& graph)
{
    graph = std::make_shared<FfmpegFilterGraph>();
    return result::kOk;
}

MediaResult FfmpegMediaFramework::createFilter(std::string_view classId, std::shared_ptr<Filter>& filter)
{
    return components_.create(classId, filter);
}

std::string FfmpegMediaFramework::errorText(MediaResult result) const
{
    std::string text = describeResult(result);
    if (text.size() > kMaxErrorTextLength) {
        // Cut at a character boundary, never inside a UTF-8 sequence.
        std::size_t cut = kMaxErrorTextLength;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.resize(cut);
    }
    return text;
}

void FfmpegMediaFramework::unregisterComponent(std::string_view classId)
{
    components_.remove(classId);
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/markers.h"

namespace kestrine {

std::string markerLabelOf(const RenderPlan& plan, std::size_t source)
{
    if (source < plan.sourceTitles.size() && !plan.sourceTitles[source].empty())
        return plan.sourceTitles[source];
    const std::string& path = plan.sources[source].path;
    const std::size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // A name that is all extension (".hidden") keeps it.
    if (const std::size_t dot = name.find_last_of('.'); dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

std::vector<Marker> markersOf(const RenderPlan& plan)
{
    if (!plan.withMarkers)
        return {};
    return sourceStartsOf(plan);
}

std::vector<Marker> chapterMarkersOf(const RenderPlan& plan, std::size_t source)
{
    if (source >= plan.sourceChapters.size())
        return {};
    const PlannedSource& placed = plan.sources[source];
    std::vector<Marker> markers;
    for (const SourceChapter& chapter : plan.sourceChapters[source]) {
        const MediaTime offset = chapter.start - placed.mediaStart;
        const std::int64_t frame = placed.firstFrame + (offset > 0 ? frameAt(offset, plan.format.sampleRate) : 0);
        // Chapters come in order: from here on, all start past the part joined.
        if (frame >= placed.endFrame)
            break;
        // One that starts where the one before does leaves that one no sound:
        // the later holds the place, as a player would show it.
        if (!markers.empty() && markers.back().frame == frame)
            markers.pop_back();
        markers.push_back({frame, chapter.title});
    }
    if (markers.empty())
        return markers;
    // The part before the first chapter belongs to it: no stretch of the join
    // is left without a marker.
    markers.front().frame = placed.firstFrame;
    const std::string label = markerLabelOf(plan, source);
    for (std::size_t i = 0; i < markers.size(); ++i)
        if (markers[i].label.empty())
            markers[i].label = label + " " + std::to_string(i + 1);
    return markers;
}

std::vector<Marker> sourceStartsOf(const RenderPlan& plan)
{
    std::vector<Marker> markers;
    markers.reserve(plan.sources.size());
    for (std::size_t i = 0; i < plan.sources.size(); ++i) {
        std::vector<Marker> chapters = chapterMarkersOf(plan, i);
        if (chapters.empty())
            markers.push_back({plan.sources[i].firstFrame, markerLabelOf(plan, i)});
        else
            markers.insert(markers.end(), chapters.begin(), chapters.end());
    }
    return markers;
}

std::vector<Marker> markersReached(const std::vector<Marker>& markers, std::int64_t frames)
{
    std::vector<Marker> reached;
    for (const Marker& marker : markers)
        if (marker.frame < frames)
            reached.push_back(marker);
    return reached;
}

} // namespace kestrine

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

std::vector<Marker> sourceStartsOf(const RenderPlan& plan)
{
    std::vector<Marker> markers;
    markers.reserve(plan.sources.size());
    for (std::size_t i = 0; i < plan.sources.size(); ++i)
        markers.push_back({plan.sources[i].firstFrame, markerLabelOf(plan, i)});
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

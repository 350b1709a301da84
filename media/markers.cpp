// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/markers.h"

namespace kestrine {

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
    for (const PlannedSource& source : plan.sources) {
        const std::size_t slash = source.path.find_last_of('/');
        markers.push_back({source.firstFrame,
                           slash == std::string::npos ? source.path : source.path.substr(slash + 1)});
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

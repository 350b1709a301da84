// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/duration_probe.h"

#include "output/framework/worker_pool.h"

#include <atomic>

namespace kestrine {

ProbeOutcome probeDuration(MediaFramework& framework, const std::string& path)
{
    ProbeOutcome outcome;
    std::shared_ptr<FilterGraph> graph;
    if (outcome.result = framework.createFilterGraph(graph); failed(outcome.result) || !graph) {
        outcome.failure = ProbeFailure::NoGraph;
        outcome.result = failed(outcome.result) ? outcome.result : result::kUnexpected;
        return outcome;
    }
    if (outcome.result = graph->renderFile(path); failed(outcome.result)) {
        outcome.failure = ProbeFailure::CannotRender;
        return outcome;
    }
    std::shared_ptr<MediaSeeking> seeking;
    if (outcome.result = graph->mediaSeeking(seeking); failed(outcome.result) || !seeking) {
        outcome.failure = ProbeFailure::NoSeeking;
        outcome.result = failed(outcome.result) ? outcome.result : result::kUnexpected;
        return outcome;
    }
    MediaTime duration = 0;
    if (outcome.result = seeking->stopPosition(duration); failed(outcome.result)) {
        outcome.failure = ProbeFailure::NoStopPosition;
        return outcome;
    }
    outcome.duration = duration;
    // The format only informs what the window shows: a file whose format
    // cannot be told is still measured.
    if (SourceFormat format; succeeded(graph->soundFormat(format)))
        outcome.format = format;
    return outcome;
}

std::vector<ProbeOutcome> probeDurations(MediaFramework& framework,
                                         const std::vector<std::string>& paths,
                                         std::stop_token stop,
                                         const std::function<void(int done)>& progress)
{
    std::vector<ProbeOutcome> outcomes(
        paths.size(), ProbeOutcome{ProbeFailure::Cancelled, result::kStopped, 0});
    if (paths.empty())
        return outcomes;

    std::atomic<std::size_t> next{0};
    std::atomic<int> done{0};
    // Each worker writes only the outcomes of the indices it took, so the
    // vector needs no lock; the threads' join publishes them.
    const auto work = [&] {
        for (;;) {
            if (stop.stop_requested())
                return;
            const std::size_t index = next.fetch_add(1);
            if (index >= paths.size())
                return;
            outcomes[index] = probeDuration(framework, paths[index]);
            const int finished = done.fetch_add(1) + 1;
            if (progress)
                progress(finished);
        }
    };

    runOnWorkers(workerCount(paths.size()), work);
    return outcomes;
}

} // namespace kestrine

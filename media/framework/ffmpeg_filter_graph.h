// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/framework/ffmpeg_components.h"
#include "media/render_plan.h"
#include "output/framework/media_framework.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace kestrine {

// A graph of filters that, once the chain group → Wave Mux → file writer is
// connected, writes the group to its output file on a thread of its own. The
// control, event and seeking interfaces are views of the graph itself, so
// holding any of them keeps the graph and its running render alive; the last
// release stops the render before anything it uses goes away.
class FfmpegFilterGraph final : public FilterGraph,
                                public MediaControl,
                                public MediaEvents,
                                public MediaSeeking,
                                public std::enable_shared_from_this<FfmpegFilterGraph> {
public:
    FfmpegFilterGraph() = default;
    ~FfmpegFilterGraph() override;
    FfmpegFilterGraph(const FfmpegFilterGraph&) = delete;
    FfmpegFilterGraph& operator=(const FfmpegFilterGraph&) = delete;

    // FilterGraph
    MediaResult addFilter(std::shared_ptr<Filter> filter, const std::string& name) override;
    MediaResult connect(std::shared_ptr<Pin> output, std::shared_ptr<Pin> input) override;
    MediaResult renderFile(const std::string& path) override;
    MediaResult soundFormat(SourceFormat& format) const override;
    MediaResult mediaControl(std::shared_ptr<MediaControl>& control) override;
    MediaResult mediaEvents(std::shared_ptr<MediaEvents>& events) override;
    MediaResult mediaSeeking(std::shared_ptr<MediaSeeking>& seeking) override;

    // MediaControl: run checks the chain and returns at once; stop returns
    // once the render thread has ended and the file is closed.
    MediaResult run() override;
    MediaResult stop() override;

    // MediaEvents. The notify function is called with no lock of the event
    // queue held but under a lock of its own, so once setNotify({}) returns
    // the old function is never called again; it must therefore only post,
    // never call back into setNotify.
    MediaResult setNotify(std::function<void()> notify) override;
    MediaResult getEvent(GraphEvent& event, int timeoutMs) override;
    MediaResult freeEventParams(const GraphEvent& event) override;

    // MediaSeeking
    MediaResult stopPosition(MediaTime& position) const override;
    MediaResult currentPosition(MediaTime& position) const override;
    JoinRoad road() const override;

    bool contains(const FfmpegFilter& filter) const { return filter.graph == this; }
    // Takes a filter out again, disconnected; refused while the graph runs.
    MediaResult removeFilter(const std::shared_ptr<FfmpegFilter>& filter);
    MediaResult removeAllFilters();
    bool isRunning() const;

private:
    struct Chain {
        std::shared_ptr<FfmpegGroupSource> source;
        std::shared_ptr<FfmpegFileWriter> writer;
        MarkerOptions markers; // the mux's
        TagOptions tags;       // likewise
    };

    MediaResult findChain(Chain& chain) const;
    bool onWorkerThread() const { return workerId_.load() == std::this_thread::get_id(); }
    void renderOnWorker(RenderPlan plan, const std::string& path, const MarkerOptions& markers,
                        const AudioFormatRequest& request, const TagOptions& tags, std::stop_token stop);
    void postEvent(const GraphEvent& event);

    // Building the graph belongs to one thread at a time; filtersMutex_ keeps
    // run and a stray reader safe. runMutex_ orders run and stop and is held
    // while the render thread is joined, so nothing the render thread calls
    // (the notify function) may take it: such calls are answered without it.
    mutable std::mutex filtersMutex_;
    std::vector<std::pair<std::string, std::shared_ptr<FfmpegFilter>>> filters_;
    std::optional<MediaTime> measuredLength_;
    std::string renderedPath_;
    std::mutex runMutex_;
    std::atomic<bool> active_{false};
    std::atomic<bool> hasRun_{false};
    std::atomic<bool> runFinished_{false};
    std::atomic<bool> runCompleted_{false};
    std::atomic<MediaTime> runLength_{0};
    std::atomic<int> runSampleRate_{OutputFormat{}.sampleRate}; // the running plan's
    std::atomic<std::thread::id> workerId_{};
    RenderProgress progress_;

    mutable std::mutex eventMutex_;
    std::condition_variable eventArrived_;
    std::deque<GraphEvent> events_;

    std::mutex notifyMutex_;
    std::function<void()> notify_;

    // Last, so that it is joined before anything it uses is destroyed.
    std::jthread worker_;
};

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_framework.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kestrine::testing {

struct SourceSpec {
    std::string path;
    MediaTime start = 0;
    MediaTime stop = 0;
};

// One audio group, one track per source, as a join lays out its list.
inline std::shared_ptr<Timeline> buildTimeline(MediaFramework& framework,
                                               const std::vector<SourceSpec>& sources)
{
    std::shared_ptr<Timeline> timeline;
    std::shared_ptr<TimelineGroup> group;
    EXPECT_EQ(framework.createTimeline(timeline), result::kOk);
    EXPECT_EQ(timeline->createGroup(group), result::kOk);
    EXPECT_EQ(group->setMediaType({MajorType::Audio, {}}), result::kOk);
    EXPECT_EQ(timeline->addGroup(group), result::kOk);
    for (const auto& spec : sources) {
        std::shared_ptr<TimelineTrack> track;
        std::shared_ptr<TimelineSource> source;
        EXPECT_EQ(timeline->createTrack(track), result::kOk);
        EXPECT_EQ(group->vtrackInsBefore(track, -1), result::kOk);
        EXPECT_EQ(timeline->createSource(source), result::kOk);
        EXPECT_EQ(source->setStartStop(spec.start, spec.stop), result::kOk);
        EXPECT_EQ(source->setMediaTimes(0, spec.stop - spec.start), result::kOk);
        EXPECT_EQ(source->setMediaName(spec.path), result::kOk);
        EXPECT_EQ(track->srcAdd(source), result::kOk);
    }
    return timeline;
}

// Back to back from zero, with the given lengths in seconds.
inline std::vector<SourceSpec> backToBack(const std::vector<std::pair<std::string, double>>& items)
{
    std::vector<SourceSpec> specs;
    MediaTime position = 0;
    for (const auto& [path, seconds] : items) {
        const auto length = static_cast<MediaTime>(seconds * kUnitsPerSecond);
        specs.push_back({path, position, position + length});
        position += length;
    }
    return specs;
}

struct JoinGraph {
    std::shared_ptr<RenderEngine> engine;
    std::shared_ptr<FilterGraph> graph;
    std::shared_ptr<Filter> mux;
    std::shared_ptr<Filter> writer;
    std::shared_ptr<MediaControl> control;
    std::shared_ptr<MediaEvents> events;
    std::shared_ptr<MediaSeeking> seeking;
};

inline std::shared_ptr<Pin> firstPin(const Filter& filter, PinDirection direction)
{
    std::vector<std::shared_ptr<Pin>> pins;
    if (failed(filter.enumPins(pins)))
        return nullptr;
    for (auto& pin : pins) {
        if (pin->direction() == direction)
            return pin;
    }
    return nullptr;
}

// The graph a join builds, step by step in a join's order; stops at the first
// failing step and answers its code.
inline MediaResult buildJoinGraph(MediaFramework& framework, std::shared_ptr<Timeline> timeline,
                                  const std::string& outputPath, JoinGraph& join)
{
    std::shared_ptr<CaptureGraphBuilder> builder;
    std::shared_ptr<Pin> groupPin;
    MediaResult step = framework.createRenderEngine(join.engine);
    if (succeeded(step))
        step = join.engine->setTimelineObject(timeline);
    if (succeeded(step))
        step = join.engine->setDynamicReconnectLevel(1);
    if (succeeded(step))
        step = join.engine->connectFrontEnd();
    if (succeeded(step))
        step = framework.createCaptureGraphBuilder(builder);
    if (succeeded(step))
        step = join.engine->filterGraph(join.graph);
    if (succeeded(step))
        step = builder->setFiltergraph(join.graph);
    if (succeeded(step))
        step = framework.createFilter(kWaveMuxClassId, join.mux);
    if (succeeded(step))
        step = join.graph->addFilter(join.mux, "Wave Mux");
    if (succeeded(step))
        step = framework.createFilter(kFileWriterClassId, join.writer);
    if (succeeded(step))
        step = join.writer->setFileName(outputPath);
    if (succeeded(step))
        step = join.graph->addFilter(join.writer, "Writer");
    if (succeeded(step)) {
        join.mux->setFullInterleaving();
        join.writer->setOverwriteMode(true);
        step = join.engine->groupOutputPin(0, groupPin);
    }
    if (succeeded(step))
        step = builder->renderStream(groupPin, join.mux);
    if (succeeded(step))
        step = join.graph->connect(firstPin(*join.mux, PinDirection::Output),
                                   firstPin(*join.writer, PinDirection::Input));
    if (succeeded(step))
        step = join.graph->mediaControl(join.control);
    if (succeeded(step))
        step = join.graph->mediaEvents(join.events);
    if (succeeded(step))
        step = join.graph->mediaSeeking(join.seeking);
    return step;
}

// Counts notifications; the notify function holds the counter's state, so a
// late call can never reach a destroyed test object.
class NotifyCounter {
public:
    std::function<void()> function()
    {
        return [state = state_] {
            {
                const std::lock_guard lock(state->mutex);
                ++state->count;
            }
            state->changed.notify_all();
        };
    }

    // True once at least `count` notifications came within the time-out.
    bool waitFor(int count, std::chrono::milliseconds timeout = std::chrono::seconds(60))
    {
        std::unique_lock lock(state_->mutex);
        return state_->changed.wait_for(lock, timeout, [&] { return state_->count >= count; });
    }

    int count() const
    {
        const std::lock_guard lock(state_->mutex);
        return state_->count;
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        int count = 0;
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

inline std::vector<GraphEvent> drainEvents(MediaEvents& events)
{
    std::vector<GraphEvent> drained;
    GraphEvent event;
    while (succeeded(events.getEvent(event, 0))) {
        events.freeEventParams(event);
        drained.push_back(event);
    }
    return drained;
}

// A PCM WAV of silence written byte by byte: a readable file that needs no
// encoder.
inline void writeSilentWav(const std::string& path, std::uint32_t frames)
{
    std::ofstream out(path, std::ios::binary);
    const auto put32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    const auto put16 = [&](std::uint16_t v) {
        out.put(static_cast<char>(v & 0xFF));
        out.put(static_cast<char>(v >> 8));
    };
    const std::uint32_t dataBytes = frames * 4;
    out.write("RIFF", 4);
    put32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    put32(16);
    put16(1);
    put16(2);
    put32(44100);
    put32(44100 * 4);
    put16(4);
    put16(16);
    out.write("data", 4);
    put32(dataBytes);
    for (std::uint32_t i = 0; i < dataBytes; ++i)
        out.put('\0');
}

} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "tests/support/fake_media_framework.h"

#include <condition_variable>
#include <functional>
#include <optional>

// What every object of the fake framework shares: the call log, the script,
// and the running graph's events. Objects hold it, so it outlives the fake.
namespace kestrine::testing {

struct FakeState {
    struct Failure {
        FakeOp op;
        MediaResult code;
        int occurrence;
    };

    // Records the call and answers the scripted result for it.
    MediaResult call(FakeOp op, std::string args = {})
    {
        pauseBefore(op, args);
        std::lock_guard lock(mutex);
        const int index = counts[op]++;
        calls.push_back({op, std::move(args)});
        for (const Failure& failure : failures)
            if (failure.op == op && (failure.occurrence < 0 || failure.occurrence == index))
                return failure.code;
        return result::kOk;
    }

    void record(FakeOp op, std::string args = {})
    {
        pauseBefore(op, args);
        std::lock_guard lock(mutex);
        ++counts[op];
        calls.push_back({op, std::move(args)});
    }

    // Runs the test's hook, outside the lock, so that it may hold the caller.
    void pauseBefore(FakeOp op, const std::string& args)
    {
        std::function<void(FakeOp, const std::string&)> hook;
        {
            std::lock_guard lock(mutex);
            hook = beforeCall;
        }
        if (hook)
            hook(op, args);
    }

    mutable std::mutex mutex;
    std::function<void(FakeOp, const std::string&)> beforeCall;
    // validateSourceNames waits while this holds, until released or stopped.
    bool validationHeld = false;
    std::condition_variable_any validationReleased;
    std::vector<FakeCall> calls;
    std::map<FakeOp, int> counts;
    std::vector<Failure> failures;
    std::map<std::string, MediaResult, std::less<>> filterFailures;
    std::optional<int> groupCount;
    bool muxOutputPin = true;
    bool writerInputPin = true;
    bool interleaving = true;
    bool overwriteMode = true;
    std::map<std::string, MediaTime> durations;
    std::map<std::string, SourceFormat> soundFormats;
    std::map<std::string, std::pair<FakeOp, MediaResult>> probeFailures;
    std::set<std::string> missingSources;
    MediaTime currentPosition = 0;
    JoinRoad road = JoinRoad::Undecided;
    std::deque<GraphEvent> events;
    std::function<void()> notify;
    std::weak_ptr<Timeline> lastTimeline;
    int validateFlags = -1;
};

// Runs op through the script and, where it is allowed, hands out a new T that
// shares the state.
template <typename T, typename Interface>
MediaResult createIfAllowed(const std::shared_ptr<FakeState>& state, FakeOp op,
                            std::shared_ptr<Interface>& created)
{
    const MediaResult r = state->call(op);
    if (succeeded(r))
        created = std::make_shared<T>(state);
    return r;
}

std::shared_ptr<Timeline> makeFakeTimeline(std::shared_ptr<FakeState> state);
std::shared_ptr<RenderEngine> makeFakeRenderEngine(std::shared_ptr<FakeState> state);
std::shared_ptr<CaptureGraphBuilder> makeFakeCaptureGraphBuilder(std::shared_ptr<FakeState> state);
std::shared_ptr<FilterGraph> makeFakeFilterGraph(std::shared_ptr<FakeState> state);
std::shared_ptr<Filter> makeFakeFilter(std::shared_ptr<FakeState> state, std::string classId,
                                       std::vector<std::shared_ptr<Pin>> pins);
std::shared_ptr<Pin> makeFakePin(PinDirection direction, std::string name);

} // namespace kestrine::testing

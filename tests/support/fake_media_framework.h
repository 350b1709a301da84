// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_framework.h"

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <set>
#include <string>
#include <functional>
#include <vector>

namespace kestrine::testing {

// One enumerator per operation that can be made to fail or looked for in the log.
enum class FakeOp {
    // Timeline
    CreateTimeline,
    CreateGroup,
    CreateTrack,
    CreateSource,
    SetMediaType,
    AddGroup,
    GroupCount,
    Group,
    SetPreviewMode,
    VTrackInsBefore,
    SetStartStop,
    SetMediaTimes,
    SetMediaName,
    SrcAdd,
    ValidateSourceNames,
    // Render engine
    CreateRenderEngine,
    SetTimelineObject,
    TimelineObject,
    SetDynamicReconnectLevel,
    ConnectFrontEnd,
    FilterGraph,
    GroupOutputPin,
    ScrapIt,
    // Output graph
    CreateCaptureGraphBuilder,
    SetFiltergraph,
    RenderStream,
    CreateFilter,
    AddFilter,
    EnumPins,
    SetFileName,
    SetOverwriteMode,
    SetFullInterleaving,
    SetMarkers,
    Connect,
    MediaControl,
    MediaEvents,
    SetNotify,
    Run,
    Stop,
    GetEvent,
    FreeEventParams,
    // Measuring
    CreateFilterGraph,
    RenderFile,
    MediaSeeking,
    StopPosition,
    CurrentPosition,
    // Objects of the join going away, so tests can check the release order.
    ReleaseTimeline,
    ReleaseRenderEngine,
    ReleaseMediaControl,
    ReleaseMediaEvents,
};

const char* fakeOpName(FakeOp op);
inline std::ostream& operator<<(std::ostream& out, FakeOp op) { return out << fakeOpName(op); }

struct FakeCall {
    FakeOp op;
    std::string args; // the arguments that matter, e.g. "0 30000000" or a path
    friend bool operator==(const FakeCall&, const FakeCall&) = default;
    friend std::ostream& operator<<(std::ostream& out, const FakeCall& call)
    {
        return out << call.op << (call.args.empty() ? "" : " ") << call.args;
    }
};

struct FakeState;

// A scriptable stand-in for the media framework: records every call, builds
// an inspectable timeline, and fails any operation on request. Thread-safe, so
// parallel measuring can run on it.
class FakeMediaFramework : public MediaFramework {
public:
    FakeMediaFramework();
    ~FakeMediaFramework() override;

    // --- scripting ---
    // Every later call of op fails with code; with occurrence >= 0 only that
    // call (counting from 0 over the framework's life) fails.
    void failOn(FakeOp op, MediaResult code, int occurrence = -1);
    // createFilter for this class identifier fails with code.
    void failCreateFilter(std::string_view classId, MediaResult code);
    // groupCount answers this instead of the number of groups added.
    void setGroupCount(int count);
    void omitMuxOutputPin();
    void omitWriterInputPin();
    // setFullInterleaving / setOverwriteMode answer kNoInterface.
    void omitInterleaving();
    void omitOverwriteMode();
    // renderFile succeeds for these paths and the stop position is duration;
    // other paths fail to render with kCannotOpenSource.
    void setDuration(const std::string& path, MediaTime duration);
    // The rendered file then tells this format; without it, none.
    void setSoundFormat(const std::string& path, const SourceFormat& format);
    // Measuring this path fails at step (RenderFile, MediaSeeking or StopPosition).
    void failProbe(const std::string& path, FakeOp step, MediaResult code);
    // validateSourceNames reports these paths as unreadable.
    void setMissingSource(const std::string& path);
    void setCurrentPosition(MediaTime position);
    // The road the graph's seeking says its join takes.
    void setRoad(JoinRoad road);
    // Called on the caller's thread before every operation is recorded, with
    // its arguments as the call log shows them: a test may hold it there.
    void setBeforeCall(std::function<void(FakeOp, const std::string&)> hook);
    // validateSourceNames, once called, waits until released or stopped, as
    // the check of many slow files does.
    void holdValidation(bool held);

    // --- the running graph ---
    void queueEvent(GraphEvent event);
    // Calls the notification the graph holds, on the calling thread; false when
    // none is registered.
    bool fireNotify();
    // Queues and fires at once, as a running graph would.
    bool postEvent(GraphEvent event);
    bool notifyRegistered() const;
    std::size_t queuedEvents() const;

    // --- inspection ---
    std::vector<FakeCall> calls() const;
    std::vector<FakeOp> ops() const;
    // "op args" strings, handy for printing a failing sequence.
    std::vector<std::string> callLog() const;
    int callCount(FakeOp op) const;
    std::vector<FakeCall> callsOf(FakeOp op) const;
    // The most recently created timeline, kept alive for inspection.
    std::shared_ptr<Timeline> lastTimeline() const;
    int validateFlags() const;
    void clearCalls();

    // --- MediaFramework ---
    MediaResult createTimeline(std::shared_ptr<Timeline>& timeline) override;
    MediaResult createRenderEngine(std::shared_ptr<RenderEngine>& engine) override;
    MediaResult createCaptureGraphBuilder(std::shared_ptr<CaptureGraphBuilder>& builder) override;
    MediaResult createFilterGraph(std::shared_ptr<FilterGraph>& graph) override;
    MediaResult createFilter(std::string_view classId, std::shared_ptr<Filter>& filter) override;
    std::string errorText(MediaResult result) const override;

    static std::string fakeErrorText(MediaResult result);

private:
    std::shared_ptr<FakeState> state_;
};

} // namespace kestrine::testing

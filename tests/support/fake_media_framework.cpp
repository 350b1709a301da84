// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/support/fake_media_framework.h"
#include "tests/support/fake_media_state.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace kestrine::testing {

const char* fakeOpName(FakeOp op)
{
    switch (op) {
    case FakeOp::CreateTimeline: return "createTimeline";
    case FakeOp::CreateGroup: return "createGroup";
    case FakeOp::CreateTrack: return "createTrack";
    case FakeOp::CreateSource: return "createSource";
    case FakeOp::SetMediaType: return "setMediaType";
    case FakeOp::AddGroup: return "addGroup";
    case FakeOp::GroupCount: return "groupCount";
    case FakeOp::Group: return "group";
    case FakeOp::SetPreviewMode: return "setPreviewMode";
    case FakeOp::VTrackInsBefore: return "vtrackInsBefore";
    case FakeOp::SetStartStop: return "setStartStop";
    case FakeOp::SetMediaTimes: return "setMediaTimes";
    case FakeOp::SetMediaName: return "setMediaName";
    case FakeOp::SrcAdd: return "srcAdd";
    case FakeOp::ValidateSourceNames: return "validateSourceNames";
    case FakeOp::CreateRenderEngine: return "createRenderEngine";
    case FakeOp::SetTimelineObject: return "setTimelineObject";
    case FakeOp::TimelineObject: return "timelineObject";
    case FakeOp::SetDynamicReconnectLevel: return "setDynamicReconnectLevel";
    case FakeOp::ConnectFrontEnd: return "connectFrontEnd";
    case FakeOp::FilterGraph: return "filterGraph";
    case FakeOp::GroupOutputPin: return "groupOutputPin";
    case FakeOp::ScrapIt: return "scrapIt";
    case FakeOp::CreateCaptureGraphBuilder: return "createCaptureGraphBuilder";
    case FakeOp::SetFiltergraph: return "setFiltergraph";
    case FakeOp::RenderStream: return "renderStream";
    case FakeOp::CreateFilter: return "createFilter";
    case FakeOp::AddFilter: return "addFilter";
    case FakeOp::EnumPins: return "enumPins";
    case FakeOp::SetFileName: return "setFileName";
    case FakeOp::SetOverwriteMode: return "setOverwriteMode";
    case FakeOp::SetFullInterleaving: return "setFullInterleaving";
    case FakeOp::SetMarkers: return "setMarkers";
    case FakeOp::Connect: return "connect";
    case FakeOp::MediaControl: return "mediaControl";
    case FakeOp::MediaEvents: return "mediaEvents";
    case FakeOp::SetNotify: return "setNotify";
    case FakeOp::Run: return "run";
    case FakeOp::Stop: return "stop";
    case FakeOp::GetEvent: return "getEvent";
    case FakeOp::FreeEventParams: return "freeEventParams";
    case FakeOp::CreateFilterGraph: return "createFilterGraph";
    case FakeOp::RenderFile: return "renderFile";
    case FakeOp::MediaSeeking: return "mediaSeeking";
    case FakeOp::StopPosition: return "stopPosition";
    case FakeOp::CurrentPosition: return "currentPosition";
    case FakeOp::ReleaseTimeline: return "releaseTimeline";
    case FakeOp::ReleaseRenderEngine: return "releaseRenderEngine";
    case FakeOp::ReleaseMediaControl: return "releaseMediaControl";
    case FakeOp::ReleaseMediaEvents: return "releaseMediaEvents";
    }
    return "?";
}

FakeMediaFramework::FakeMediaFramework() : state_(std::make_shared<FakeState>()) {}

FakeMediaFramework::~FakeMediaFramework()
{
    // The notification may hold on to objects that hold this state.
    std::lock_guard lock(state_->mutex);
    state_->notify = nullptr;
}

void FakeMediaFramework::failOn(FakeOp op, MediaResult code, int occurrence)
{
    std::lock_guard lock(state_->mutex);
    state_->failures.push_back({op, code, occurrence});
}

void FakeMediaFramework::failCreateFilter(std::string_view classId, MediaResult code)
{
    std::lock_guard lock(state_->mutex);
    state_->filterFailures[std::string(classId)] = code;
}

void FakeMediaFramework::setGroupCount(int count)
{
    std::lock_guard lock(state_->mutex);
    state_->groupCount = count;
}

void FakeMediaFramework::omitMuxOutputPin()
{
    std::lock_guard lock(state_->mutex);
    state_->muxOutputPin = false;
}

void FakeMediaFramework::omitWriterInputPin()
{
    std::lock_guard lock(state_->mutex);
    state_->writerInputPin = false;
}

void FakeMediaFramework::omitInterleaving()
{
    std::lock_guard lock(state_->mutex);
    state_->interleaving = false;
}

void FakeMediaFramework::omitOverwriteMode()
{
    std::lock_guard lock(state_->mutex);
    state_->overwriteMode = false;
}

void FakeMediaFramework::setDuration(const std::string& path, MediaTime duration)
{
    std::lock_guard lock(state_->mutex);
    state_->durations[path] = duration;
}

void FakeMediaFramework::setSoundFormat(const std::string& path, const SourceFormat& format)
{
    std::lock_guard lock(state_->mutex);
    state_->soundFormats[path] = format;
}

void FakeMediaFramework::failProbe(const std::string& path, FakeOp step, MediaResult code)
{
    std::lock_guard lock(state_->mutex);
    state_->probeFailures[path] = {step, code};
    // A failure after rendering needs a file that renders.
    if (step != FakeOp::RenderFile && !state_->durations.contains(path))
        state_->durations[path] = 0;
}

void FakeMediaFramework::setMissingSource(const std::string& path)
{
    std::lock_guard lock(state_->mutex);
    state_->missingSources.insert(path);
}

void FakeMediaFramework::setBeforeCall(std::function<void(FakeOp, const std::string&)> hook)
{
    std::lock_guard lock(state_->mutex);
    state_->beforeCall = std::move(hook);
}

void FakeMediaFramework::holdValidation(bool held)
{
    {
        std::lock_guard lock(state_->mutex);
        state_->validationHeld = held;
    }
    state_->validationReleased.notify_all();
}

void FakeMediaFramework::setCurrentPosition(MediaTime position)
{
    std::lock_guard lock(state_->mutex);
    state_->currentPosition = position;
}

void FakeMediaFramework::setRoad(JoinRoad road)
{
    std::lock_guard lock(state_->mutex);
    state_->road = road;
}

void FakeMediaFramework::queueEvent(GraphEvent event)
{
    std::lock_guard lock(state_->mutex);
    state_->events.push_back(event);
}

bool FakeMediaFramework::fireNotify()
{
    std::function<void()> notify;
    {
        std::lock_guard lock(state_->mutex);
        notify = state_->notify;
    }
    if (!notify)
        return false;
    notify();
    return true;
}

bool FakeMediaFramework::postEvent(GraphEvent event)
{
    queueEvent(event);
    return fireNotify();
}

bool FakeMediaFramework::notifyRegistered() const
{
    std::lock_guard lock(state_->mutex);
    return static_cast<bool>(state_->notify);
}

std::size_t FakeMediaFramework::queuedEvents() const
{
    std::lock_guard lock(state_->mutex);
    return state_->events.size();
}

std::vector<FakeCall> FakeMediaFramework::calls() const
{
    std::lock_guard lock(state_->mutex);
    return state_->calls;
}

std::vector<FakeOp> FakeMediaFramework::ops() const
{
    std::vector<FakeOp> result;
    for (const FakeCall& call : calls())
        result.push_back(call.op);
    return result;
}

std::vector<std::string> FakeMediaFramework::callLog() const
{
    std::vector<std::string> result;
    for (const FakeCall& call : calls())
        result.push_back(call.args.empty() ? fakeOpName(call.op)
                                           : std::string(fakeOpName(call.op)) + " " + call.args);
    return result;
}

int FakeMediaFramework::callCount(FakeOp op) const
{
    std::lock_guard lock(state_->mutex);
    const auto it = state_->counts.find(op);
    return it == state_->counts.end() ? 0 : it->second;
}

std::vector<FakeCall> FakeMediaFramework::callsOf(FakeOp op) const
{
    std::vector<FakeCall> result;
    for (const FakeCall& call : calls())
        if (call.op == op)
            result.push_back(call);
    return result;
}

std::shared_ptr<Timeline> FakeMediaFramework::lastTimeline() const
{
    std::lock_guard lock(state_->mutex);
    return state_->lastTimeline.lock();
}

int FakeMediaFramework::validateFlags() const
{
    std::lock_guard lock(state_->mutex);
    return state_->validateFlags;
}

void FakeMediaFramework::clearCalls()
{
    std::lock_guard lock(state_->mutex);
    state_->calls.clear();
}

MediaResult FakeMediaFramework::createTimeline(std::shared_ptr<Timeline>& timeline)
{
    const MediaResult r = state_->call(FakeOp::CreateTimeline);
    if (failed(r))
        return r;
    auto created = makeFakeTimeline(state_);
    {
        std::lock_guard lock(state_->mutex);
        state_->lastTimeline = created;
    }
    timeline = std::move(created);
    return r;
}

MediaResult FakeMediaFramework::createRenderEngine(std::shared_ptr<RenderEngine>& engine)
{
    const MediaResult r = state_->call(FakeOp::CreateRenderEngine);
    if (succeeded(r))
        engine = makeFakeRenderEngine(state_);
    return r;
}

MediaResult
FakeMediaFramework::createCaptureGraphBuilder(std::shared_ptr<CaptureGraphBuilder>& builder)
{
    const MediaResult r = state_->call(FakeOp::CreateCaptureGraphBuilder);
    if (succeeded(r))
        builder = makeFakeCaptureGraphBuilder(state_);
    return r;
}

MediaResult FakeMediaFramework::createFilterGraph(std::shared_ptr<FilterGraph>& graph)
{
    const MediaResult r = state_->call(FakeOp::CreateFilterGraph);
    if (succeeded(r))
        graph = makeFakeFilterGraph(state_);
    return r;
}

MediaResult FakeMediaFramework::createFilter(std::string_view classId,
                                             std::shared_ptr<Filter>& filter)
{
    const MediaResult r = state_->call(FakeOp::CreateFilter, std::string(classId));
    if (failed(r))
        return r;
    std::lock_guard lock(state_->mutex);
    if (auto it = state_->filterFailures.find(classId); it != state_->filterFailures.end())
        return it->second;
    std::vector<std::shared_ptr<Pin>> pins;
    if (classId == kWaveMuxClassId) {
        // The input first, so that finding the output pin has to walk.
        pins.push_back(makeFakePin(PinDirection::Input, "mux input"));
        if (state_->muxOutputPin)
            pins.push_back(makeFakePin(PinDirection::Output, "mux output"));
        pins.push_back(makeFakePin(PinDirection::Output, "mux second output"));
        if (!state_->muxOutputPin)
            pins.pop_back();
    } else if (classId == kFileWriterClassId) {
        if (state_->writerInputPin) {
            pins.push_back(makeFakePin(PinDirection::Input, "writer input"));
            pins.push_back(makeFakePin(PinDirection::Input, "writer second input"));
        }
    } else {
        return result::kNotRegistered;
    }
    filter = makeFakeFilter(state_, std::string(classId), std::move(pins));
    return r;
}

std::string FakeMediaFramework::errorText(MediaResult result) const
{
    return fakeErrorText(result);
}

std::string FakeMediaFramework::fakeErrorText(MediaResult result)
{
    char text[64];
    std::snprintf(text, sizeof text, "Fake failure 0x%08X.", static_cast<unsigned>(result));
    return text;
}

} // namespace kestrine::testing

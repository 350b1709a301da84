// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/support/fake_media_framework.h"

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

struct FakeState {
    struct Failure {
        FakeOp op;
        MediaResult code;
        int occurrence;
    };

    // Records the call and answers the scripted result for it.
    MediaResult call(FakeOp op, std::string args = {})
    {
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
        std::lock_guard lock(mutex);
        ++counts[op];
        calls.push_back({op, std::move(args)});
    }

    mutable std::mutex mutex;
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
    std::map<std::string, std::pair<FakeOp, MediaResult>> probeFailures;
    std::set<std::string> missingSources;
    MediaTime currentPosition = 0;
    std::deque<GraphEvent> events;
    std::function<void()> notify;
    std::weak_ptr<Timeline> lastTimeline;
    int validateFlags = -1;
};

namespace {

std::string span(MediaTime start, MediaTime stop)
{
    return std::to_string(start) + " " + std::to_string(stop);
}

class FakeSource : public TimelineSource {
public:
    explicit FakeSource(std::shared_ptr<FakeState> state) : state_(std::move(state)) {}
    NodeType nodeType() const override { return NodeType::Source; }
    MediaResult setStartStop(MediaTime start, MediaTime stop) override
    {
        const MediaResult r = state_->call(FakeOp::SetStartStop, span(start, stop));
        if (succeeded(r)) {
            start_ = start;
            stop_ = stop;
        }
        return r;
    }
    MediaResult startStop(MediaTime& start, MediaTime& stop) const override
    {
        start = start_;
        stop = stop_;
        return result::kOk;
    }
    MediaResult setMediaTimes(MediaTime start, MediaTime stop) override
    {
        const MediaResult r = state_->call(FakeOp::SetMediaTimes, span(start, stop));
        if (succeeded(r)) {
            mediaStart_ = start;
            mediaStop_ = stop;
        }
        return r;
    }
    MediaResult mediaTimes(MediaTime& start, MediaTime& stop) const override
    {
        start = mediaStart_;
        stop = mediaStop_;
        return result::kOk;
    }
    MediaResult setMediaName(const std::string& path) override
    {
        const MediaResult r = state_->call(FakeOp::SetMediaName, path);
        if (succeeded(r))
            name_ = path;
        return r;
    }
    MediaResult mediaName(std::string& path) const override
    {
        path = name_;
        return result::kOk;
    }

private:
    std::shared_ptr<FakeState> state_;
    MediaTime start_ = 0;
    MediaTime stop_ = 0;
    MediaTime mediaStart_ = 0;
    MediaTime mediaStop_ = 0;
    std::string name_;
};

class FakeTrack : public TimelineTrack {
public:
    explicit FakeTrack(std::shared_ptr<FakeState> state) : state_(std::move(state)) {}
    NodeType nodeType() const override { return NodeType::Track; }
    MediaResult setStartStop(MediaTime start, MediaTime stop) override
    {
        return state_->call(FakeOp::SetStartStop, "track " + span(start, stop));
    }
    MediaResult startStop(MediaTime& start, MediaTime& stop) const override
    {
        start = 0;
        stop = 0;
        for (const auto& source : sources_) {
            MediaTime a = 0;
            MediaTime b = 0;
            source->startStop(a, b);
            stop = std::max(stop, b);
        }
        return result::kOk;
    }
    MediaResult srcAdd(std::shared_ptr<TimelineSource> source) override
    {
        const MediaResult r = state_->call(FakeOp::SrcAdd);
        if (succeeded(r))
            sources_.push_back(std::move(source));
        return r;
    }
    std::vector<std::shared_ptr<TimelineSource>> sources() const override { return sources_; }

private:
    std::shared_ptr<FakeState> state_;
    std::vector<std::shared_ptr<TimelineSource>> sources_;
};

class FakeGroup : public TimelineGroup {
public:
    explicit FakeGroup(std::shared_ptr<FakeState> state) : state_(std::move(state)) {}
    NodeType nodeType() const override { return NodeType::Group; }
    MediaResult setStartStop(MediaTime start, MediaTime stop) override
    {
        return state_->call(FakeOp::SetStartStop, "group " + span(start, stop));
    }
    MediaResult startStop(MediaTime& start, MediaTime& stop) const override
    {
        start = 0;
        stop = 0;
        return result::kOk;
    }
    MediaResult setMediaType(const MediaType& type) override
    {
        const MediaResult r = state_->call(FakeOp::SetMediaType,
                                           type.major == MajorType::Audio   ? "audio"
                                           : type.major == MajorType::Video ? "video"
                                                                            : "none");
        if (succeeded(r))
            type_ = type;
        return r;
    }
    MediaResult vtrackInsBefore(std::shared_ptr<TimelineTrack> track, int priority) override
    {
        const MediaResult r = state_->call(FakeOp::VTrackInsBefore, std::to_string(priority));
        if (failed(r))
            return r;
        if (priority < 0 || priority >= static_cast<int>(tracks_.size()))
            tracks_.push_back(std::move(track));
        else
            tracks_.insert(tracks_.begin() + priority, std::move(track));
        return r;
    }
    std::vector<std::shared_ptr<TimelineTrack>> tracks() const override { return tracks_; }
    MediaResult setPreviewMode(bool preview) override
    {
        return state_->call(FakeOp::SetPreviewMode, preview ? "true" : "false");
    }
    MediaType mediaType() const { return type_; }

private:
    std::shared_ptr<FakeState> state_;
    std::vector<std::shared_ptr<TimelineTrack>> tracks_;
    MediaType type_;
};

class FakeTimeline : public Timeline {
public:
    explicit FakeTimeline(std::shared_ptr<FakeState> state) : state_(std::move(state)) {}
    ~FakeTimeline() override { state_->record(FakeOp::ReleaseTimeline); }

    MediaResult createGroup(std::shared_ptr<TimelineGroup>& group) override
    {
        const MediaResult r = state_->call(FakeOp::CreateGroup);
        if (succeeded(r))
            group = std::make_shared<FakeGroup>(state_);
        return r;
    }
    MediaResult createTrack(std::shared_ptr<TimelineTrack>& track) override
    {
        const MediaResult r = state_->call(FakeOp::CreateTrack);
        if (succeeded(r))
            track = std::make_shared<FakeTrack>(state_);
        return r;
    }
    MediaResult createSource(std::shared_ptr<TimelineSource>& source) override
    {
        const MediaResult r = state_->call(FakeOp::CreateSource);
        if (succeeded(r))
            source = std::make_shared<FakeSource>(state_);
        return r;
    }
    MediaResult addGroup(std::shared_ptr<TimelineGroup> group) override
    {
        const MediaResult r = state_->call(FakeOp::AddGroup);
        if (succeeded(r))
            groups_.push_back(std::move(group));
        return r;
    }
    MediaResult groupCount(int& count) const override
    {
        const MediaResult r = state_->call(FakeOp::GroupCount);
        if (succeeded(r)) {
            std::lock_guard lock(state_->mutex);
            count = state_->groupCount.value_or(static_cast<int>(groups_.size()));
        }
        return r;
    }
    MediaResult group(int index, std::shared_ptr<TimelineGroup>& group) const override
    {
        const MediaResult r = state_->call(FakeOp::Group, std::to_string(index));
        if (failed(r))
            return r;
        if (index < 0 || index >= static_cast<int>(groups_.size())) {
            // A scripted group count may exceed the real groups: hand out stand-ins.
            group = std::make_shared<FakeGroup>(state_);
            return r;
        }
        group = groups_[static_cast<std::size_t>(index)];
        return r;
    }
    MediaResult validateSourceNames(int flags, const MissingSourceHandler& handler) override
    {
        const MediaResult r = state_->call(FakeOp::ValidateSourceNames, std::to_string(flags));
        if (failed(r))
            return r;
        std::set<std::string> missing;
        {
            std::lock_guard lock(state_->mutex);
            state_->validateFlags = flags;
            missing = state_->missingSources;
        }
        if (!(flags & kValidateCheck))
            return r;
        for (const auto& group : groups_)
            for (const auto& track : group->tracks())
                for (const auto& source : track->sources()) {
                    std::string name;
                    source->mediaName(name);
                    if (!missing.contains(name) || !(flags & kValidatePopup) || !handler)
                        continue;
                    const std::optional<std::string> replacement = handler(name);
                    if (replacement && (flags & kValidateReplace))
                        source->setMediaName(*replacement);
                }
        return r;
    }

private:
    std::shared_ptr<FakeState> state_;
    std::vector<std::shared_ptr<TimelineGroup>> groups_;
};

class FakePin : public Pin {
public:
    FakePin(PinDirection direction, std::string name)
        : direction_(direction), name_(std::move(name))
    {
    }
    PinDirection direction() const override { return direction_; }
    const std::string& name() const { return name_; }

private:
    PinDirection direction_;
    std::string name_;
};

std::string pinName(const std::shared_ptr<Pin>& pin)
{
    const auto* fake = dynamic_cast<const FakePin*>(pin.get());
    return fake ? fake->name() : std::string(pin ? "foreign pin" : "no pin");
}

class FakeFilter : public Filter {
public:
    FakeFilter(std::shared_ptr<FakeState> state, std::string classId,
               std::vector<std::shared_ptr<Pin>> pins)
        : state_(std::move(state)), classId_(std::move(classId)), pins_(std::move(pins))
    {
    }
    MediaResult enumPins(std::vector<std::shared_ptr<Pin>>& pins) const override
    {
        const MediaResult r = state_->call(FakeOp::EnumPins, classId_);
        if (succeeded(r))
            pins = pins_;
        return r;
    }
    MediaResult setFileName(const std::string& path) override
    {
        return state_->call(FakeOp::SetFileName, path);
    }
    MediaResult setOverwriteMode(bool overwrite) override
    {
        const MediaResult r =
            state_->call(FakeOp::SetOverwriteMode, overwrite ? "true" : "false");
        std::lock_guard lock(state_->mutex);
        return failed(r) || state_->overwriteMode ? r : result::kNoInterface;
    }
    MediaResult setFullInterleaving() override
    {
        const MediaResult r = state_->call(FakeOp::SetFullInterleaving);
        std::lock_guard lock(state_->mutex);
        return failed(r) || state_->interleaving ? r : result::kNoInterface;
    }
    const std::string& classId() const { return classId_; }

private:
    std::shared_ptr<FakeState> state_;
    std::string classId_;
    std::vector<std::shared_ptr<Pin>> pins_;
};

class FakeMediaControl : public MediaControl {
public:
    explicit FakeMediaControl(std::shared_ptr<FakeState> state) : state_(std::move(state)) {}
    ~FakeMediaControl() override { state_->record(FakeOp::ReleaseMediaControl); }
    MediaResult run() override { return state_->call(FakeOp::Run); }
    MediaResult stop() override { return state_->call(FakeOp::Stop); }

private:
    std::shared_ptr<FakeState> state_;
};

class FakeMediaEvents : public MediaEvents {
public:
    explicit FakeMediaEvents(std::shared_ptr<FakeState> state) : state_(std::move(state)) {}
    ~FakeMediaEvents() override { state_->record(FakeOp::ReleaseMediaEvents); }
    MediaResult setNotify(std::function<void()> notify) override
    {
        const MediaResult r = state_->call(FakeOp::SetNotify, notify ? "set" : "clear");
        if (succeeded(r)) {
            std::lock_guard lock(state_->mutex);
            state_->notify = std::move(notify);
        }
        return r;
    }
    MediaResult getEvent(GraphEvent& event, int timeoutMs) override
    {
        const MediaResult r = state_->call(FakeOp::GetEvent, std::to_string(timeoutMs));
        if (failed(r))
            return r;
        std::lock_guard lock(state_->mutex);
        if (state_->events.empty())
            return result::kNoEvent;
        event = state_->events.front();
        state_->events.pop_front();
        return r;
    }
    MediaResult freeEventParams(const GraphEvent& event) override
    {
        return state_->call(FakeOp::FreeEventParams, std::to_string(event.code));
    }

private:
    std::shared_ptr<FakeState> state_;
};

class FakeMediaSeeking : public MediaSeeking {
public:
    FakeMediaSeeking(std::shared_ptr<FakeState> state, std::string path, MediaTime stop)
        : state_(std::move(state)), path_(std::move(path)), stop_(stop)
    {
    }
    MediaResult stopPosition(MediaTime& position) const override
    {
        const MediaResult r = state_->call(FakeOp::StopPosition, path_);
        if (failed(r))
            return r;
        std::lock_guard lock(state_->mutex);
        if (auto it = state_->probeFailures.find(path_);
            it != state_->probeFailures.end() && it->second.first == FakeOp::StopPosition)
            return it->second.second;
        position = stop_;
        return r;
    }
    MediaResult currentPosition(MediaTime& position) const override
    {
        const MediaResult r = state_->call(FakeOp::CurrentPosition);
        if (succeeded(r)) {
            std::lock_guard lock(state_->mutex);
            position = state_->currentPosition;
        }
        return r;
    }

private:
    std::shared_ptr<FakeState> state_;
    std::string path_;
    MediaTime stop_;
};

class FakeFilterGraph : public FilterGraph {
public:
    explicit FakeFilterGraph(std::shared_ptr<FakeState> state, MediaTime length = 0)
        : state_(std::move(state)), length_(length)
    {
    }
    MediaResult addFilter(std::shared_ptr<Filter> filter, const std::string& name) override
    {
        const MediaResult r = state_->call(FakeOp::AddFilter, name);
        if (succeeded(r))
            filters_.push_back(std::move(filter));
        return r;
    }
    MediaResult connect(std::shared_ptr<Pin> output, std::shared_ptr<Pin> input) override
    {
        return state_->call(FakeOp::Connect, pinName(output) + " -> " + pinName(input));
    }
    MediaResult renderFile(const std::string& path) override
    {
        const MediaResult r = state_->call(FakeOp::RenderFile, path);
        if (failed(r))
            return r;
        std::lock_guard lock(state_->mutex);
        if (auto it = state_->probeFailures.find(path);
            it != state_->probeFailures.end() && it->second.first == FakeOp::RenderFile)
            return it->second.second;
        const auto known = state_->durations.find(path);
        if (known == state_->durations.end())
            return result::kCannotOpenSource;
        renderedPath_ = path;
        length_ = known->second;
        return r;
    }
    MediaResult mediaControl(std::shared_ptr<MediaControl>& control) override
    {
        const MediaResult r = state_->call(FakeOp::MediaControl);
        if (succeeded(r))
            control = std::make_shared<FakeMediaControl>(state_);
        return r;
    }
    MediaResult mediaEvents(std::shared_ptr<MediaEvents>& events) override
    {
        const MediaResult r = state_->call(FakeOp::MediaEvents);
        if (succeeded(r))
            events = std::make_shared<FakeMediaEvents>(state_);
        return r;
    }
    MediaResult mediaSeeking(std::shared_ptr<MediaSeeking>& seeking) override
    {
        const MediaResult r = state_->call(FakeOp::MediaSeeking, renderedPath_);
        if (failed(r))
            return r;
        {
            std::lock_guard lock(state_->mutex);
            if (auto it = state_->probeFailures.find(renderedPath_);
                it != state_->probeFailures.end() && it->second.first == FakeOp::MediaSeeking)
                return it->second.second;
        }
        seeking = std::make_shared<FakeMediaSeeking>(state_, renderedPath_, length_);
        return r;
    }

private:
    std::shared_ptr<FakeState> state_;
    std::vector<std::shared_ptr<Filter>> filters_;
    std::string renderedPath_;
    MediaTime length_;
};

class FakeRenderEngine : public RenderEngine {
public:
    explicit FakeRenderEngine(std::shared_ptr<FakeState> state) : state_(std::move(state)) {}
    ~FakeRenderEngine() override { state_->record(FakeOp::ReleaseRenderEngine); }

    MediaResult setTimelineObject(std::shared_ptr<Timeline> timeline) override
    {
        const MediaResult r = state_->call(FakeOp::SetTimelineObject, timeline ? "" : "null");
        if (succeeded(r))
            timeline_ = std::move(timeline);
        return r;
    }
    MediaResult timelineObject(std::shared_ptr<Timeline>& timeline) const override
    {
        const MediaResult r = state_->call(FakeOp::TimelineObject);
        if (failed(r))
            return r;
        if (!timeline_)
            return result::kNoTimeline;
        timeline = timeline_;
        return r;
    }
    MediaResult setDynamicReconnectLevel(int level) override
    {
        return state_->call(FakeOp::SetDynamicReconnectLevel, std::to_string(level));
    }
    MediaResult connectFrontEnd() override
    {
        const MediaResult r = state_->call(FakeOp::ConnectFrontEnd);
        if (failed(r))
            return r;
        if (!timeline_)
            return result::kNoTimeline;
        graph_ = std::make_shared<FakeFilterGraph>(state_);
        return r;
    }
    MediaResult filterGraph(std::shared_ptr<FilterGraph>& graph) const override
    {
        const MediaResult r = state_->call(FakeOp::FilterGraph);
        if (failed(r))
            return r;
        if (!graph_)
            return result::kWrongState;
        graph = graph_;
        return r;
    }
    MediaResult groupOutputPin(int group, std::shared_ptr<Pin>& pin) const override
    {
        const MediaResult r = state_->call(FakeOp::GroupOutputPin, std::to_string(group));
        if (failed(r))
            return r;
        if (!graph_)
            return result::kWrongState;
        pin = std::make_shared<FakePin>(PinDirection::Output,
                                        "group " + std::to_string(group) + " output");
        return r;
    }
    MediaResult scrapIt() override
    {
        const MediaResult r = state_->call(FakeOp::ScrapIt);
        graph_.reset();
        return r;
    }

private:
    std::shared_ptr<FakeState> state_;
    std::shared_ptr<Timeline> timeline_;
    std::shared_ptr<FakeFilterGraph> graph_;
};

class FakeCaptureGraphBuilder : public CaptureGraphBuilder {
public:
    explicit FakeCaptureGraphBuilder(std::shared_ptr<FakeState> state)
        : state_(std::move(state))
    {
    }
    MediaResult setFiltergraph(std::shared_ptr<FilterGraph> graph) override
    {
        const MediaResult r = state_->call(FakeOp::SetFiltergraph, graph ? "" : "null");
        if (succeeded(r))
            graph_ = std::move(graph);
        return r;
    }
    MediaResult renderStream(std::shared_ptr<Pin> source, std::shared_ptr<Filter> sink) override
    {
        const auto* filter = dynamic_cast<const FakeFilter*>(sink.get());
        return state_->call(FakeOp::RenderStream,
                            pinName(source) + " -> " + (filter ? filter->classId() : "?"));
    }

private:
    std::shared_ptr<FakeState> state_;
    std::shared_ptr<FilterGraph> graph_;
};

} // namespace

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

void FakeMediaFramework::setCurrentPosition(MediaTime position)
{
    std::lock_guard lock(state_->mutex);
    state_->currentPosition = position;
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
    auto created = std::make_shared<FakeTimeline>(state_);
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
        engine = std::make_shared<FakeRenderEngine>(state_);
    return r;
}

MediaResult
FakeMediaFramework::createCaptureGraphBuilder(std::shared_ptr<CaptureGraphBuilder>& builder)
{
    const MediaResult r = state_->call(FakeOp::CreateCaptureGraphBuilder);
    if (succeeded(r))
        builder = std::make_shared<FakeCaptureGraphBuilder>(state_);
    return r;
}

MediaResult FakeMediaFramework::createFilterGraph(std::shared_ptr<FilterGraph>& graph)
{
    const MediaResult r = state_->call(FakeOp::CreateFilterGraph);
    if (succeeded(r))
        graph = std::make_shared<FakeFilterGraph>(state_);
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
        pins.push_back(std::make_shared<FakePin>(PinDirection::Input, "mux input"));
        if (state_->muxOutputPin)
            pins.push_back(std::make_shared<FakePin>(PinDirection::Output, "mux output"));
        pins.push_back(std::make_shared<FakePin>(PinDirection::Output, "mux second output"));
        if (!state_->muxOutputPin)
            pins.pop_back();
    } else if (classId == kFileWriterClassId) {
        if (state_->writerInputPin) {
            pins.push_back(std::make_shared<FakePin>(PinDirection::Input, "writer input"));
            pins.push_back(std::make_shared<FakePin>(PinDirection::Input, "writer second input"));
        }
    } else {
        return result::kNotRegistered;
    }
    filter = std::make_shared<FakeFilter>(state_, std::string(classId), std::move(pins));
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

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/support/fake_media_state.h"

namespace kestrine::testing {

namespace {

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
    // Recorded as "in-file" or "none", then any list asked for.
    MediaResult setMarkers(const MarkerOptions& markers) override
    {
        std::string args = markers.inFile ? "in-file" : "none";
        if (!markers.cueSheet.empty())
            args += " cue=" + markers.cueSheet;
        if (!markers.labelList.empty())
            args += " labels=" + markers.labelList;
        return state_->call(FakeOp::SetMarkers, args);
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
    JoinRoad road() const override
    {
        std::lock_guard lock(state_->mutex);
        return state_->road;
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
    MediaResult soundFormat(SourceFormat& format) const override
    {
        std::lock_guard lock(state_->mutex);
        const auto known = state_->soundFormats.find(renderedPath_);
        if (known == state_->soundFormats.end())
            return result::kNoInterface;
        format = known->second;
        return result::kOk;
    }
    MediaResult mediaControl(std::shared_ptr<MediaControl>& control) override
    {
        return createIfAllowed<FakeMediaControl>(state_, FakeOp::MediaControl, control);
    }
    MediaResult mediaEvents(std::shared_ptr<MediaEvents>& events) override
    {
        return createIfAllowed<FakeMediaEvents>(state_, FakeOp::MediaEvents, events);
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

std::shared_ptr<RenderEngine> makeFakeRenderEngine(std::shared_ptr<FakeState> state)
{
    return std::make_shared<FakeRenderEngine>(std::move(state));
}

std::shared_ptr<CaptureGraphBuilder> makeFakeCaptureGraphBuilder(std::shared_ptr<FakeState> state)
{
    return std::make_shared<FakeCaptureGraphBuilder>(std::move(state));
}

std::shared_ptr<FilterGraph> makeFakeFilterGraph(std::shared_ptr<FakeState> state)
{
    return std::make_shared<FakeFilterGraph>(std::move(state));
}

std::shared_ptr<Filter> makeFakeFilter(std::shared_ptr<FakeState> state, std::string classId,
                                       std::vector<std::shared_ptr<Pin>> pins)
{
    return std::make_shared<FakeFilter>(std::move(state), std::move(classId), std::move(pins));
}

std::shared_ptr<Pin> makeFakePin(PinDirection direction, std::string name)
{
    return std::make_shared<FakePin>(direction, std::move(name));
}

} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/support/fake_media_state.h"

#include <algorithm>

namespace kestrine::testing {

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
        return createIfAllowed<FakeGroup>(state_, FakeOp::CreateGroup, group);
    }
    MediaResult createTrack(std::shared_ptr<TimelineTrack>& track) override
    {
        return createIfAllowed<FakeTrack>(state_, FakeOp::CreateTrack, track);
    }
    MediaResult createSource(std::shared_ptr<TimelineSource>& source) override
    {
        return createIfAllowed<FakeSource>(state_, FakeOp::CreateSource, source);
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
    MediaResult validateSourceNames(int flags, const MissingSourceHandler& handler,
                                    std::stop_token stop) override
    {
        const MediaResult r = state_->call(FakeOp::ValidateSourceNames, std::to_string(flags));
        if (failed(r))
            return r;
        {
            std::unique_lock lock(state_->mutex);
            state_->validationReleased.wait(lock, stop, [this] { return !state_->validationHeld; });
        }
        if (stop.stop_requested())
            return result::kStopped;
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

} // namespace

std::shared_ptr<Timeline> makeFakeTimeline(std::shared_ptr<FakeState> state)
{
    return std::make_shared<FakeTimeline>(std::move(state));
}

} // namespace kestrine::testing

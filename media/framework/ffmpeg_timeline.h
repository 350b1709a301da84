// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_framework.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrine {

class FfmpegTimelineTrack;

// A [start, stop) span of time that refuses to run backwards or before zero.
class TimeSpan {
public:
    MediaResult set(MediaTime start, MediaTime stop)
    {
        if (start < 0 || stop < start)
            return result::kInvalidArgument;
        start_ = start;
        stop_ = stop;
        return result::kOk;
    }
    MediaResult get(MediaTime& start, MediaTime& stop) const
    {
        start = start_;
        stop = stop_;
        return result::kOk;
    }

private:
    MediaTime start_ = 0;
    MediaTime stop_ = 0;
};

// Node objects of a timeline. A node belongs to at most one parent, which is
// recorded so that adding it twice, to one parent or two, is refused.
class FfmpegTimelineSource final : public TimelineSource {
public:
    NodeType nodeType() const override { return NodeType::Source; }
    MediaResult setStartStop(MediaTime start, MediaTime stop) override
    {
        return span_.set(start, stop);
    }
    MediaResult startStop(MediaTime& start, MediaTime& stop) const override
    {
        return span_.get(start, stop);
    }
    MediaResult setMediaTimes(MediaTime start, MediaTime stop) override
    {
        return media_.set(start, stop);
    }
    MediaResult mediaTimes(MediaTime& start, MediaTime& stop) const override
    {
        return media_.get(start, stop);
    }
    MediaResult setMediaName(const std::string& path) override;
    MediaResult mediaName(std::string& path) const override;

    bool attached = false;

private:
    TimeSpan span_;
    TimeSpan media_;
    std::string mediaName_;
};

class FfmpegTimelineTrack final : public TimelineTrack {
public:
    NodeType nodeType() const override { return NodeType::Track; }
    MediaResult setStartStop(MediaTime start, MediaTime stop) override
    {
        return span_.set(start, stop);
    }
    MediaResult startStop(MediaTime& start, MediaTime& stop) const override
    {
        return span_.get(start, stop);
    }
    MediaResult srcAdd(std::shared_ptr<TimelineSource> source) override;
    std::vector<std::shared_ptr<TimelineSource>> sources() const override;

    bool attached = false;

private:
    TimeSpan span_;
    std::vector<std::shared_ptr<FfmpegTimelineSource>> sources_;
};

class FfmpegTimelineGroup final : public TimelineGroup {
public:
    NodeType nodeType() const override { return NodeType::Group; }
    MediaResult setStartStop(MediaTime start, MediaTime stop) override
    {
        return span_.set(start, stop);
    }
    MediaResult startStop(MediaTime& start, MediaTime& stop) const override
    {
        return span_.get(start, stop);
    }
    MediaResult setMediaType(const MediaType& type) override;
    MediaResult vtrackInsBefore(std::shared_ptr<TimelineTrack> track, int priority) override;
    std::vector<std::shared_ptr<TimelineTrack>> tracks() const override;
    MediaResult setPreviewMode(bool preview) override;

    MajorType majorType() const { return majorType_; }
    const AudioFormatRequest& formatRequest() const { return formatRequest_; }
    bool previewMode() const { return previewMode_; }
    // Every source of the group: tracks in priority order, each track's
    // sources in the order they were added.
    std::vector<std::shared_ptr<FfmpegTimelineSource>> allSources() const;

    bool attached = false;

private:
    TimeSpan span_;
    MajorType majorType_ = MajorType::None;
    AudioFormatRequest formatRequest_;
    bool previewMode_ = true;
    std::vector<std::shared_ptr<FfmpegTimelineTrack>> tracks_;
};

class FfmpegTimeline final : public Timeline {
public:
    MediaResult createGroup(std::shared_ptr<TimelineGroup>& group) override;
    MediaResult createTrack(std::shared_ptr<TimelineTrack>& track) override;
    MediaResult createSource(std::shared_ptr<TimelineSource>& source) override;
    MediaResult addGroup(std::shared_ptr<TimelineGroup> group) override;
    MediaResult groupCount(int& count) const override;
    MediaResult group(int index, std::shared_ptr<TimelineGroup>& group) const override;
    MediaResult validateSourceNames(int flags, const MissingSourceHandler& handler,
                                    std::stop_token stop) override;

    std::vector<std::shared_ptr<FfmpegTimelineGroup>> groups() const { return groups_; }

private:
    std::vector<std::shared_ptr<FfmpegTimelineGroup>> groups_;
};

// Whether a file can be opened as media at all: exists, is readable and has a
// container FFmpeg recognises. Cheap enough for a thousand files; it does not
// decode anything.
bool isReadableMedia(const std::string& path);

// Fills in isReadableMedia for every path of the map, several at a time;
// after a stop request the paths not yet begun stay false.
void checkReadable(std::map<std::string, bool>& paths, std::stop_token stop = {});

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/framework/ffmpeg_timeline.h"

#include "media/ffmpeg.h"
#include "media/media_input.h"
#include "media/source_file.h"
#include "media/wav_header.h"
#include "output/framework/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <map>

namespace kestrine {

bool isReadableMedia(const std::string& path)
{
    if (path.empty() || failed(checkSourceFile(path)))
        return false;
    if (isPlainPcm(readPcmWavLayout(path)))
        return true;
    MediaInput input;
    return succeeded(openInputFile(path, input));
}

void checkReadable(std::map<std::string, bool>& paths, std::stop_token stop)
{
    std::vector<std::pair<const std::string, bool>*> entries;
    for (auto& entry : paths)
        entries.push_back(&entry);
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t index = next++; index < entries.size() && !stop.stop_requested(); index = next++)
            entries[index]->second = isReadableMedia(entries[index]->first);
    };
    runOnWorkers(workerCount(entries.size()), work);
}

MediaResult FfmpegTimelineSource::setMediaName(const std::string& path)
{
    // A path is handed to C functions later; an embedded zero would silently
    // name another file.
    if (path.find('\0') != std::string::npos)
        return result::kInvalidArgument;
    mediaName_ = path;
    return result::kOk;
}

MediaResult FfmpegTimelineSource::mediaName(std::string& path) const
{
    path = mediaName_;
    return result::kOk;
}

MediaResult FfmpegTimelineTrack::srcAdd(std::shared_ptr<TimelineSource> source)
{
    auto ours = std::dynamic_pointer_cast<FfmpegTimelineSource>(source);
    if (!ours || ours->attached)
        return result::kInvalidArgument;
    ours->attached = true;
    sources_.push_back(std::move(ours));
    return result::kOk;
}

std::vector<std::shared_ptr<TimelineSource>> FfmpegTimelineTrack::sources() const
{
    return {sources_.begin(), sources_.end()};
}

MediaResult FfmpegTimelineGroup::setMediaType(const MediaType& type)
{
    if (type.major != MajorType::Audio && type.major != MajorType::Video)
        return result::kInvalidArgument;
    majorType_ = type.major;
    formatRequest_ = type.audio;
    return result::kOk;
}

MediaResult FfmpegTimelineGroup::vtrackInsBefore(std::shared_ptr<TimelineTrack> track, int priority)
{
    auto ours = std::dynamic_pointer_cast<FfmpegTimelineTrack>(track);
    if (!ours || ours->attached || priority < -1)
        return result::kInvalidArgument;
    const auto count = static_cast<int>(tracks_.size());
    const auto at = priority == -1 || priority > count ? tracks_.end() : tracks_.begin() + priority;
    ours->attached = true;
    tracks_.insert(at, std::move(ours));
    return result::kOk;
}

std::vector<std::shared_ptr<TimelineTrack>> FfmpegTimelineGroup::tracks() const
{
    return {tracks_.begin(), tracks_.end()};
}

MediaResult FfmpegTimelineGroup::setPreviewMode(bool preview)
{
    previewMode_ = preview;
    return result::kOk;
}

std::vector<std::shared_ptr<FfmpegTimelineSource>> FfmpegTimelineGroup::allSources() const
{
    std::vector<std::shared_ptr<FfmpegTimelineSource>> all;
    for (const auto& track : tracks_) {
        for (const auto& source : track->sources())
            all.push_back(std::static_pointer_cast<FfmpegTimelineSource>(source));
    }
    return all;
}

MediaResult FfmpegTimeline::createGroup(std::shared_ptr<TimelineGroup>& group)
{
    group = std::make_shared<FfmpegTimelineGroup>();
    return result::kOk;
}

MediaResult FfmpegTimeline::createTrack(std::shared_ptr<TimelineTrack>& track)
{
    track = std::make_shared<FfmpegTimelineTrack>();
    return result::kOk;
}

MediaResult FfmpegTimeline::createSource(std::shared_ptr<TimelineSource>& source)
{
    source = std::make_shared<FfmpegTimelineSource>();
    return result::kOk;
}

MediaResult FfmpegTimeline::addGroup(std::shared_ptr<TimelineGroup> group)
{
    auto ours = std::dynamic_pointer_cast<FfmpegTimelineGroup>(group);
    if (!ours || ours->attached)
        return result::kInvalidArgument;
    ours->attached = true;
    groups_.push_back(std::move(ours));
    return result::kOk;
}

MediaResult FfmpegTimeline::groupCount(int& count) const
{
    count = static_cast<int>(groups_.size());
    return result::kOk;
}

MediaResult FfmpegTimeline::group(int index, std::shared_ptr<TimelineGroup>& group) const
{
    if (index < 0 || index >= static_cast<int>(groups_.size()))
        return result::kNoGroup;
    group = groups_[static_cast<std::size_t>(index)];
    return result::kOk;
}

MediaResult FfmpegTimeline::validateSourceNames(int flags, const MissingSourceHandler& handler,
                                                std::stop_token stop)
{
    if (!(flags & kValidateCheck))
        return result::kOk;

    std::vector<std::shared_ptr<FfmpegTimelineSource>> sources;
    for (const auto& group : groups_) {
        const auto more = group->allSources();
        sources.insert(sources.end(), more.begin(), more.end());
    }
    // Each distinct file is checked once, the files side by side: opening a
    // thousand of them one after another would keep the caller waiting.
    std::map<std::string, bool> readable;
    for (const auto& source : sources) {
        std::string path;
        source->mediaName(path);
        readable.emplace(std::move(path), false);
    }
    checkReadable(readable, stop);
    // Unchecked is not missing: a stopped check asks nothing.
    if (stop.stop_requested())
        return result::kStopped;

    // One question per missing file, however many sources name it: a file
    // placed twice is asked about and replaced once.
    std::map<std::string, std::optional<std::string>> answers;
    bool stillMissing = false;
    for (const auto& source : sources) {
        std::string path;
        source->mediaName(path);
        if (readable.at(path))
            continue;
        auto answer = answers.find(path);
        if (answer == answers.end()) {
            std::optional<std::string> replacement;
            if ((flags & kValidatePopup) && handler)
                replacement = handler(path);
            answer = answers.emplace(path, std::move(replacement)).first;
        }
        if ((flags & kValidateReplace) && answer->second
            && succeeded(source->setMediaName(*answer->second)))
            continue;
        stillMissing = true;
    }
    return stillMissing ? result::kFalse : result::kOk;
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/timeline_builder.h"

#include "output/framework/path_bytes.h"
#include "platform/user_dialogs.h"

namespace kestrine {

TimelineBuilder::TimelineBuilder(MediaFramework& framework, UserDialogs& dialogs,
                                 MissingSourceHandler missingSourceHandler, const AudioFormatRequest& format)
    : framework_(framework), dialogs_(dialogs),
      missingSourceHandler_(std::move(missingSourceHandler)), format_(format)
{
}

MediaResult TimelineBuilder::build(std::span<const ClipItem> clipList,
                                   std::span<const ClipItem> audioList,
                                   std::shared_ptr<Timeline>& timeline)
{
    const MediaResult placed = place(clipList, audioList, timeline);
    if (failed(placed))
        return placed;
    validate(*timeline);
    return result::kOk;
}

MediaResult TimelineBuilder::place(std::span<const ClipItem> clipList,
                                   std::span<const ClipItem> audioList,
                                   std::shared_ptr<Timeline>& timeline)
{
    // A timeline left from an earlier join must not be mistaken for this one's.
    timeline.reset();
    const MediaResult created = framework_.createTimeline(timeline);
    if (failed(created) || !timeline) {
        timeline.reset();
        dialogs_.showError(QStringLiteral("Could not create timeline"));
        return failed(created) ? created : result::kUnexpected;
    }

    totalDuration_ = 0;
    for (const ClipItem& item : clipList)
        totalDuration_ += item.duration;

    if (!audioList.empty())
        buildAudioGroup(*timeline, audioList);
    return result::kOk;
}

MediaResult TimelineBuilder::validate(Timeline& timeline, std::stop_token stop)
{
    const MediaResult validated = timeline.validateSourceNames(
        kValidateCheck | kValidatePopup | kValidateReplace, missingSourceHandler_, stop);
    return stop.stop_requested() ? result::kStopped : validated;
}

void TimelineBuilder::buildAudioGroup(Timeline& timeline, std::span<const ClipItem> audioList)
{
    std::shared_ptr<TimelineGroup> group;
    if (failed(timeline.createGroup(group)) || !group) {
        dialogs_.inform(QStringLiteral("Could not create pAudioGroupObj"));
        return;
    }
    // What is not asked for follows the sources.
    if (failed(group->setMediaType(MediaType{MajorType::Audio, format_}))) {
        dialogs_.inform(QStringLiteral("Could not set AudioGroupType"));
        return;
    }
    if (failed(timeline.addGroup(group))) {
        dialogs_.inform(QStringLiteral("Could not add audio group"));
        return;
    }

    MediaTime position = 0;
    for (const ClipItem& item : audioList) {
        const MediaTime start = position;
        MediaTime stop = position + item.duration;
        if (stop > totalDuration_)
            stop = totalDuration_;
        placeItem(timeline, *group, item, start, stop);
        // A failed item still takes its place, so later items keep their times.
        position = stop;
        // Only zero-length items can follow the total; they add nothing.
        if (position == totalDuration_)
            break;
    }
}

void TimelineBuilder::placeItem(Timeline& timeline, TimelineGroup& group, const ClipItem& item,
                                MediaTime start, MediaTime stop)
{
    std::shared_ptr<TimelineTrack> track;
    if (failed(timeline.createTrack(track)) || !track) {
        dialogs_.inform(QStringLiteral("Could not create pTrack3Obj"));
        return;
    }
    if (failed(group.vtrackInsBefore(track, -1))) {
        dialogs_.inform(QStringLiteral("Could not insert pTrack3Obj"));
        return;
    }
    const std::string name = pathToBytes(item.path);

    std::shared_ptr<TimelineSource> source;
    if (failed(timeline.createSource(source)) || !source) {
        dialogs_.inform(QStringLiteral("Could not create the pSource3Obj"));
        return;
    }
    source->setStartStop(start, stop);
    // Every file plays from its own beginning.
    if (failed(source->setMediaTimes(0, stop - start))) {
        dialogs_.inform(QStringLiteral("Could not set audio start and eng time!"));
        return;
    }
    if (failed(source->setMediaName(name))) {
        dialogs_.inform(QStringLiteral("Could not configure pSource3Src"));
        return;
    }
    if (failed(track->srcAdd(source)))
        dialogs_.inform(QStringLiteral("Could not add pSource3Obj to track"));
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/clip_item.h"
#include "output/framework/media_framework.h"

#include <memory>
#include <span>
#include <stop_token>

namespace kestrine {

class UserDialogs;

// Turns the clip list into a timeline: one audio group, one track holding one
// source per item, the sources back to back from time zero. The group asks
// for the output format given.
class TimelineBuilder {
public:
    TimelineBuilder(MediaFramework& framework, UserDialogs& dialogs,
                    MissingSourceHandler missingSourceHandler, const AudioFormatRequest& format = {});

    // clipList gives the total length; audioList the items placed. Failures
    // after the timeline exists are shown to the user and the build goes on.
    // The same as place() followed by validate().
    MediaResult build(std::span<const ClipItem> clipList, std::span<const ClipItem> audioList,
                      std::shared_ptr<Timeline>& timeline);

    // The timeline with every item in its place; no file is opened yet.
    MediaResult place(std::span<const ClipItem> clipList, std::span<const ClipItem> audioList,
                      std::shared_ptr<Timeline>& timeline);
    // Has the framework check that every source can be read, and the handler
    // asked about each that cannot. It opens every file, so it takes a while
    // with many; it shows nothing itself and may run on any one thread.
    // kStopped when stop was requested before it was done.
    MediaResult validate(Timeline& timeline, std::stop_token stop = {});

    MediaTime totalDuration() const { return totalDuration_; }

private:
    void buildAudioGroup(Timeline& timeline, std::span<const ClipItem> audioList);
    void placeItem(Timeline& timeline, TimelineGroup& group, const ClipItem& item,
                   MediaTime start, MediaTime stop);

    MediaFramework& framework_;
    UserDialogs& dialogs_;
    MissingSourceHandler missingSourceHandler_;
    AudioFormatRequest format_;
    MediaTime totalDuration_ = 0;
};

} // namespace kestrine

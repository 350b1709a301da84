// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/copying/copy_road.h"
#include "media/copying/mp3_frame_join.h"

namespace kestrine {

// MP3's copy road: Mp3FrameJoin plans which frames are copied and which
// encoded anew around the joins, and writeMp3FrameJoin writes them through
// the MP3 writer.
class Mp3JoinCopier final : public JoinCopier {
public:
    std::string whyNotCopied(const RenderPlan& plan, std::stop_token stop) override;
    MediaResult write(const RenderPlan& plan, const std::string& path, RenderProgress& progress,
                      std::stop_token stop) override;

private:
    std::unique_ptr<Mp3FrameJoin> join_;
};

} // namespace kestrine

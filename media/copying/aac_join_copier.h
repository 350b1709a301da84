// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/copying/aac_frame_join.h"
#include "media/copying/copy_road.h"

namespace kestrine {

// AAC's copy road, to M4A and M4B: AacFrameJoin plans which access units
// are copied and which encoded anew around the joins, and
// writeAacFrameJoin writes them through the MP4 writer.
class AacJoinCopier final : public JoinCopier {
public:
    std::string whyNotCopied(const RenderPlan& plan, std::stop_token stop) override;
    MediaResult write(const RenderPlan& plan, const std::string& path, RenderProgress& progress,
                      std::stop_token stop) override;

private:
    std::unique_ptr<AacFrameJoin> join_;
};

// Writes `join`, planned from `plan`, into the M4A or M4B file at
// `outputPath` through the MP4 writer the encoding join uses: a partial
// file beside it that takes its place at the end, the same chapters, tags
// and cover, and an edit list that trims the first source's priming and
// ends the sound where the join ends. Stopped, the file keeps the samples
// complete from the start and says so; failed, stopped before any sample,
// or told by the join that it is to be encoded (result::kFalse), the
// partial file is removed.
MediaResult writeAacFrameJoin(const RenderPlan& plan, AacFrameJoin& join, const std::string& outputPath,
                              RenderProgress& progress, std::stop_token stop);

} // namespace kestrine

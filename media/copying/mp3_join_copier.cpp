// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/mp3_join_copier.h"

#include "media/copying/mp3_join_writing.h"

namespace kestrine {

std::string Mp3JoinCopier::whyNotCopied(const RenderPlan& plan, std::stop_token)
{
    std::string reason;
    if (const MediaResult planned = Mp3FrameJoin::plan(plan, join_, reason); failed(planned))
        return reason.empty() ? std::string("a file cannot be read frame by frame") : reason;
    if (!join_ && reason.empty())
        reason = "the join cannot be planned frame by frame";
    return reason;
}

MediaResult Mp3JoinCopier::write(const RenderPlan& plan, const std::string& path, RenderProgress& progress,
                                 std::stop_token stop)
{
    if (!join_)
        return result::kFalse;
    return writeMp3FrameJoin(plan, *join_, path, progress, stop);
}

} // namespace kestrine

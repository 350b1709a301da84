// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/copying/mp3_frame_join.h"
#include "media/render_plan.h"
#include "output/framework/media_result.h"

#include <stop_token>
#include <string>

namespace kestrine {

// Writes `join`, planned from `plan`, into the MP3 file at `outputPath`
// through the MP3 writer the encoding join uses: a partial file beside it
// that takes its place at the end, the same ID3v2 tag with the plan's tags,
// cover and chapters, and one Xing/LAME tag that FFmpeg's muxer fills in:
// the frame count, the first source's delay, the padding, the seek table
// and the tag's CRC. Stopped, the file keeps the samples complete from the
// start and says so in its tag; failed, or stopped before any sample, the
// partial file is removed.
MediaResult writeMp3FrameJoin(const RenderPlan& plan, Mp3FrameJoin& join, const std::string& outputPath,
                              RenderProgress& progress, std::stop_token stop);

} // namespace kestrine

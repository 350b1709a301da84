// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/render_plan.h"
#include "output/framework/media_result.h"

#include <stop_token>
#include <string>

namespace kestrine {

// Writes the whole plan into a WAV file (RF64 past 4 GiB), through a partial
// file beside it that takes the output's place when the render ends. Stopped
// (result::kStopped) or failed, the output is a valid WAV of what is complete
// from the start; when nothing is, or a source is shorter than it was
// measured (result::kSourceShrank), the partial file is removed and whatever
// stood at the output path stays as it was. A failure that a source caused
// leaves that source's index in progress.failedSource.
MediaResult renderToWav(const RenderPlan& plan, const std::string& outputPath,
                        RenderProgress& progress, std::stop_token stop,
                        const RenderOptions& options = {});

// Writes the whole plan in the encoding its format names, through a partial
// file beside the output that takes the output's place when the render ends.
// A compressed output stopped or failed is a finished file of what is
// complete from the start; when nothing is, the encoder or the disk
// failed, or a source is shorter than it was measured, the partial file is
// removed and whatever stood at the output path stays as it was.
MediaResult renderJoin(const RenderPlan& plan, const std::string& outputPath, RenderProgress& progress,
                       std::stop_token stop, const RenderOptions& options = {});

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_framework.h"

#include <functional>
#include <stop_token>
#include <string>
#include <vector>

namespace kestrine {

// Which step of measuring a file went wrong; callers word their own messages.
enum class ProbeFailure { None, NoGraph, CannotRender, NoSeeking, NoStopPosition, Cancelled };

struct ProbeOutcome {
    ProbeFailure failure = ProbeFailure::None;
    MediaResult result = result::kOk;
    MediaTime duration = 0;
    // Its rate, channels and depth where the framework tells them, zero
    // where not; its length is the duration above.
    SourceFormat format{};
};

// Measures one file with a fresh graph of its own that is never run.
ProbeOutcome probeDuration(MediaFramework& framework, const std::string& path);

// Measures many files on all cores; the outcomes are in the order of paths.
// progress(done) is called from worker threads as files finish.
std::vector<ProbeOutcome> probeDurations(MediaFramework& framework,
                                         const std::vector<std::string>& paths,
                                         std::stop_token stop = {},
                                         const std::function<void(int done)>& progress = {});

} // namespace kestrine

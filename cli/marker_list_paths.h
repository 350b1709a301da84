// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "cli/join_options.h"
#include "output/framework/media_framework.h"

#include <string>
#include <vector>

namespace kestrine {

class UserDialogs;

// What a console join tells about where each file starts, as the framework takes it.
MarkerOptions markerOptionsOf(const JoinOptions& options);

// What the options say about the output's tags and cover.
TagOptions tagOptionsOf(const JoinOptions& options);

// Refuses a cue sheet or label list that exists, unless -y was given. 0 when
// they may be written; otherwise the refusal is told to `dialogs` and the
// exit status returned. Whether the paths may be written at all is
// checkJoinPaths's question, asked first.
int checkMarkerListsReplaceable(const JoinOptions& options, UserDialogs& dialogs);

} // namespace kestrine

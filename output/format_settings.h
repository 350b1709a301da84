// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_framework.h"

namespace kestrine {

class SettingsStore;

// The output format the user asked for in Options, kept with the other
// settings in section "Format"; a value not stored follows the sources.
AudioFormatRequest readFormatRequest(const SettingsStore& store);
void writeFormatRequest(SettingsStore& store, const AudioFormatRequest& request);

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_framework.h"

#include <memory>

namespace kestrine {

// The framework objects one join holds from its start to its end.
struct JoinReferences {
    std::shared_ptr<Timeline> timeline;
    std::shared_ptr<RenderEngine> renderEngine;
    std::shared_ptr<MediaControl> graphControl;
    std::shared_ptr<MediaEvents> graphEvents;
};

} // namespace kestrine

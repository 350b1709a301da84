// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/encoder_catalog.h"

namespace kestrine {

// The encoders of the FFmpeg libraries the program runs with, in FFmpeg's own
// order, each by its descriptive name (its short name where it has none).
class FfmpegEncoderCatalog final : public EncoderCatalog {
public:
    MediaResult videoEncoders(std::vector<std::string>& names) const override;
    MediaResult audioEncoders(std::vector<std::string>& names) const override;
};

} // namespace kestrine

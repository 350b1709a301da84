// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_result.h"

#include <string>
#include <vector>

namespace kestrine {

// The encoders installed on this system, in the order the system lists them.
class EncoderCatalog {
public:
    virtual ~EncoderCatalog() = default;
    // Fails when the system's list itself cannot be had: kNotRegistered when
    // there is no catalog at all, any other failure when this kind of encoder
    // cannot be listed.
    virtual MediaResult videoEncoders(std::vector<std::string>& names) const = 0;
    virtual MediaResult audioEncoders(std::vector<std::string>& names) const = 0;
};

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_framework.h"

#include <string>
#include <vector>
#include <atomic>
#include <ostream>

namespace kestrine {

// The whole of kestrine-join after start-up: arguments in (without the
// program's name), exit status out. Help and version go to out, everything
// else to err.
int runJoinCommand(const std::vector<std::string>& arguments, MediaFramework& framework, std::ostream& out,
                   std::ostream& err, const std::atomic<bool>& interrupted, bool showProgress);

} // namespace kestrine

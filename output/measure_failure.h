// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/duration_probe.h"

#include <QString>

namespace kestrine {

class MediaFramework;

// Why `path` could not be measured, in one sentence that names it, with the
// framework's own reason where it gives one: the same words in the window
// and on the console.
QString measureFailureText(MediaFramework& framework, const QString& path, const ProbeOutcome& outcome);

} // namespace kestrine

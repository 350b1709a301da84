// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QString>

namespace kestrine {

// Plays short interface sounds. Behind an interface so that widgets can be
// tested on machines without a sound device.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;

    // Starts the sound at a file or resource path. Never blocks the caller for
    // the sound's length; a sound that cannot be played is skipped silently.
    virtual void play(const QString& path) = 0;
};

} // namespace kestrine

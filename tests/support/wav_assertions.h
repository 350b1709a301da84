// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "tests/support/test_media.h"

#include <gtest/gtest.h>

namespace kestrine::testmedia {

// A join's output: a readable 44,100 Hz stereo 16-bit WAV whose data and
// header both hold exactly `frames` frames.
inline ::testing::AssertionResult isJoinedWav(const WavData& wav, std::int64_t frames)
{
    if (!wav.ok)
        return ::testing::AssertionFailure() << "unreadable: " << wav.message;
    if (wav.sampleRate != 44100 || wav.channels != 2 || wav.bitsPerSample != 16)
        return ::testing::AssertionFailure() << "format " << wav.sampleRate << " Hz, " << wav.channels
                                             << " channels, " << wav.bitsPerSample << " bits";
    if (wav.frames() != frames || wav.headerFrames != frames)
        return ::testing::AssertionFailure() << wav.frames() << " frames of data and "
                                             << wav.headerFrames << " in the header, not " << frames;
    return ::testing::AssertionSuccess();
}

} // namespace kestrine::testmedia

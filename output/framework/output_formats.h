// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <string>

namespace kestrine {

// The formats Kestrine writes are chosen by the output's extension, in any
// case: .wav, .flac, .mp3, .m4a, .m4b, .opus and .ogg (Opus in Ogg), .aif and .aiff.
// A name with no extension, or with one that is no media format, is written
// as WAV. A name whose extension is a media format Kestrine cannot write
// exactly (.aac, .wma, .mp4, .mkv, ...) is refused before anything is
// written, rather than getting WAV data under a name that says otherwise.
bool isUnwritableMediaName(const std::string& path);

// The one sentence that refuses such a name and lists the formats Kestrine
// writes.
std::string unwritableFormatText(const std::string& path);

// The formats Kestrine writes with their extensions, as that sentence lists
// them: "WAV (.wav), FLAC (.flac), ... and AIFF (.aif, .aiff)".
std::string writtenFormatsText();

} // namespace kestrine

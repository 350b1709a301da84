// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/ffmpeg.h"
#include "media/markers.h"
#include "media/output_tags.h"
#include "output/framework/media_result.h"

#include <cstdint>
#include <vector>

namespace kestrine {

// An ID3v2.3 tag as FFmpeg's MP3 muxer writes it: the tags as text frames,
// the cover as an APIC frame, and `markers` as chapters (CHAP and CTOC),
// the last ending at `frames`. `audio` is the MP3 stream the tag is for;
// without one (a WAV file's `id3 ` chunk) a stereo stream at `sampleRate`.
// Version 2.3 gives every frame a plain size; FFmpeg's reader, among
// others, misreads the 2.4 form from 128 bytes on.
MediaResult id3TagOf(const OutputTags& tags, const std::vector<Marker>& markers, int sampleRate,
                     std::int64_t frames, const AVCodecParameters* audio, std::vector<std::uint8_t>& tag);

// The room the cover takes in an ID3v2 tag, with its frame's header.
std::size_t id3CoverBytes(const OutputTags& tags);

} // namespace kestrine

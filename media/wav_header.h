// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/markers.h"
#include "media/render_plan.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrine {

// The header every output file starts with. It is always the same size: a
// plain WAV keeps a JUNK chunk exactly where RF64 puts its ds64 chunk, so a
// file that grows past what 32-bit sizes can say switches to RF64 by rewriting
// the header alone.
inline constexpr std::size_t kWavHeaderSize = 80;
using WavHeader = std::array<std::uint8_t, kWavHeaderSize>;

// The largest data size a plain WAV header can describe, with no chunk after the data.
inline constexpr std::uint64_t kMaxPlainWavData = 0xFFFFFFFFull - (kWavHeaderSize - 8);

// A header for `dataBytes` bytes of PCM in `format` followed by `trailerBytes`
// of further chunks, as wavTrailer makes them; RF64 when the sizes do not fit
// in 32 bits.
WavHeader buildWavHeader(const OutputFormat& format, std::uint64_t dataBytes,
                         std::uint64_t trailerBytes = 0);

// Where the chunks after `dataBytes` of data begin: past the data chunk's pad
// byte, when its size is odd.
std::uint64_t wavTrailerOffset(std::uint64_t dataBytes);

// The chunks a finished file carries after its data: a `cue ` chunk with one
// cue point per marker and a LIST chunk of type adtl with each one's label.
// Players and editors show them as markers (cues, regions) at the sample they
// name. Empty when there are no markers; a marker past what a 32-bit sample
// offset can say is left out.
std::vector<std::uint8_t> wavTrailer(const std::vector<Marker>& markers);

// Appends to `trailer` the chunks that carry `tags`: a LIST chunk of type
// INFO with the tags it has names for, and, unless `id3` is empty, an `id3 `
// chunk holding it: an ID3v2 tag with the cover.
void appendWavTagChunks(std::vector<std::uint8_t>& trailer, const OutputTags& tags,
                        const std::vector<std::uint8_t>& id3);

// Where the samples of a PCM WAV file lie, as read from its chunks.
struct PcmWavLayout {
    bool valid = false;
    int formatTag = 0; // 1 PCM, 3 float; WAVE_FORMAT_EXTENSIBLE is resolved to its subformat
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    int blockAlign = 0;
    std::uint64_t dataOffset = 0;
    std::uint64_t claimedBytes = 0; // what the header claims; an open size claims what follows
    std::uint64_t dataBytes = 0;    // what the header claims, limited to what the file holds
};

// Reads the chunk layout of a WAV (or RF64) file open on `fd` without moving its offset.
PcmWavLayout readPcmWavLayout(int fd);

// The layout of the WAV file at `path`; not valid when it cannot be read.
PcmWavLayout readPcmWavLayout(const std::string& path);

// True for integer or float PCM whose length the header alone tells: no
// decoder is needed to know how long it plays.
bool isPlainPcm(const PcmWavLayout& layout);

// True when `layout` holds samples exactly as `format` writes them.
bool matchesOutputFormat(const PcmWavLayout& layout, const OutputFormat& format);

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kestrine::testmedia {

// One chunk of a RIFF (or RF64) file; body is the offset of its first byte
// after the tag and size.
struct WavChunk {
    std::string id;
    std::uint64_t body = 0;
    std::uint64_t size = 0; // the real size, from ds64 where the chunk says 0xFFFFFFFF
};

struct WavCuePoint {
    std::uint32_t id = 0;
    std::uint32_t position = 0;
    std::string chunk;
    std::uint32_t chunkStart = 0;
    std::uint32_t blockStart = 0;
    std::uint32_t sampleOffset = 0;
};

// The chunk layout of a WAV file, read byte by byte without libavformat, so
// that a test sees exactly what was written.
struct WavChunks {
    bool ok = false;
    std::string message;         // what is wrong when not ok
    std::string form;            // "RIFF" or "RF64"
    std::uint64_t riffSize = 0;  // what the file says follows its first 8 bytes
    std::uint64_t fileSize = 0;
    std::vector<WavChunk> chunks;   // top level, in file order
    std::vector<WavCuePoint> cues;  // from the `cue ` chunk
    std::map<std::uint32_t, std::string> labels; // labl texts of LIST/adtl, by cue ID, without their NUL
    bool listIsAdtl = false;

    std::vector<std::string> ids() const;
    const WavChunk* find(const std::string& id) const;
};

// Walks every top-level chunk of `path`; not ok when a chunk runs past the
// end of the file or a labl is not NUL-terminated.
WavChunks readWavChunks(const std::string& path);

// The bytes of the data chunk; empty when there is none.
std::string dataChunkOf(const std::string& path);

} // namespace kestrine::testmedia

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kestrine {

// An image a file carries as its cover.
struct Picture {
    std::vector<std::uint8_t> bytes;
    std::string mimeType; // "image/jpeg" or "image/png"
    bool empty() const { return bytes.empty(); }
};

// What the output says about the join as a whole, by FFmpeg's generic tag
// names ("title", "album", "artist", "album_artist", "genre", "date",
// "composer", "comment"), each value valid UTF-8; each container writes
// them as its own readers expect.
// How loud the file plays, for players that adjust their volume by tags
// (ReplayGain, and Opus's R128 gains). The whole file is one track, and its
// own album.
struct PlaybackGain {
    double loudness = 0.0; // LUFS, integrated; -infinity for silence
    double gain = 0.0;     // dB that bring it to the join's target
    double peak = 0.0;     // linear true peak
};

struct OutputTags {
    std::vector<std::pair<std::string, std::string>> fields;
    Picture cover;
    std::optional<PlaybackGain> playbackGain;
    bool empty() const { return fields.empty() && cover.empty() && !playbackGain; }
    // The value of `key`; empty when there is none.
    std::string valueOf(const std::string& key) const
    {
        for (const auto& [name, value] : fields)
            if (name == key)
                return value;
        return {};
    }
};

} // namespace kestrine

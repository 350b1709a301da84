// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <cstdint>
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
struct OutputTags {
    std::vector<std::pair<std::string, std::string>> fields;
    Picture cover;
    bool empty() const { return fields.empty() && cover.empty(); }
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

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

// The boxes of an MP4 file, read as a strict reader would walk them.
namespace kestrine::testmedia {

struct Box {
    std::string type;
    std::uint64_t at = 0;
    std::uint64_t size = 0;
    int headerBytes = 8;
};

inline std::uint64_t bigEndian(const std::string& bytes, std::size_t at, int count)
{
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

// The file's top-level boxes, read by seeking: a file past 4 GiB is mostly hole.
inline std::vector<Box> topLevelBoxes(const std::string& path)
{
    std::vector<Box> boxes;
    std::ifstream file(path, std::ios::binary);
    file.seekg(0, std::ios::end);
    const auto end = static_cast<std::uint64_t>(file.tellg());
    for (std::uint64_t at = 0; at + 8 <= end;) {
        std::string header(16, '\0');
        file.seekg(static_cast<std::streamoff>(at));
        file.read(header.data(), 16);
        Box box{header.substr(4, 4), at, bigEndian(header, 0, 4)};
        if (box.size == 1) {
            box.size = bigEndian(header, 8, 8);
            box.headerBytes = 16;
        } else if (box.size == 0) {
            box.size = end - at; // to the end of the file
        }
        boxes.push_back(box);
        if (box.size < 8)
            break;
        at += box.size;
    }
    return boxes;
}

inline std::string bytesOf(const std::string& path, const Box& box)
{
    std::ifstream file(path, std::ios::binary);
    file.seekg(static_cast<std::streamoff>(box.at));
    std::string bytes(box.size, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(box.size));
    return bytes;
}

// The body of the box at `path` (such as "trak/mdia/minf/stbl/stco") inside
// `box`, a whole box; the first match at every level.
inline std::optional<std::string> childOf(const std::string& box, const std::string& path)
{
    const std::string type = path.substr(0, path.find('/'));
    std::size_t at = 8;
    if (box.compare(4, 4, "stsd") == 0)
        at = 16; // past the version and the entry count
    while (at + 8 <= box.size()) {
        const std::size_t size = bigEndian(box, at, 4);
        if (size < 8 || at + size > box.size())
            return std::nullopt;
        if (box.compare(at + 4, 4, type) == 0) {
            const std::string child = box.substr(at, size);
            if (path.find('/') == std::string::npos)
                return child.substr(8);
            return childOf(child, path.substr(path.find('/') + 1));
        }
        at += size;
    }
    return std::nullopt;
}

} // namespace kestrine::testmedia

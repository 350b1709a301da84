// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/framework/output_formats.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace kestrine {
namespace {

struct WrittenFormat {
    std::string_view name;
    std::array<std::string_view, 2> extensions; // an empty second for one
};

constexpr std::array<WrittenFormat, 7> kWritten{{
    {"WAV", {"wav", ""}},
    {"FLAC", {"flac", ""}},
    {"MP3", {"mp3", ""}},
    {"M4A", {"m4a", ""}},
    {"M4B", {"m4b", ""}},
    {"Opus", {"opus", "ogg"}},
    {"AIFF", {"aif", "aiff"}},
}};

// Extensions that players and editors take for media formats. Those among
// them that Kestrine does not write are refused; any other extension is no
// promise of a format, and such a name gets a WAV.
constexpr std::array<std::string_view, 50> kMedia = {
    "3g2", "3gp",  "8svx", "aac", "ac3", "aifc", "alac", "amr",  "ape",  "asf",  "au",
    "avi", "caf",  "dff",  "divx", "dsf", "dts", "eac3", "f4a",  "flv",  "gsm",  "m2ts",
    "m4p",  "m4r",  "m4v", "mid", "midi", "mka",  "mkv",  "mov",  "mp2",  "mp4",
    "mpa", "mpc",  "mpeg", "mpg", "mts", "mxf",  "oga",  "ogv",  "ra",   "rm",   "shn",
    "snd", "spx",  "tta", "voc",  "w64", "webm", "wma"};

std::string extensionOf(const std::string& path)
{
    const std::size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.')
        return {};
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

bool isWritten(std::string_view extension)
{
    return std::any_of(kWritten.begin(), kWritten.end(), [&](const WrittenFormat& format) {
        return !extension.empty() &&
               std::find(format.extensions.begin(), format.extensions.end(), extension) != format.extensions.end();
    });
}

} // namespace

bool isUnwritableMediaName(const std::string& path)
{
    const std::string extension = extensionOf(path);
    return !isWritten(extension) && std::find(kMedia.begin(), kMedia.end(), extension) != kMedia.end();
}

std::string writtenFormatsText()
{
    std::string text;
    for (std::size_t i = 0; i < kWritten.size(); ++i) {
        if (i > 0)
            text += i + 1 == kWritten.size() ? " and " : ", ";
        text += std::string(kWritten[i].name) + " (";
        for (std::size_t j = 0; j < kWritten[i].extensions.size() && !kWritten[i].extensions[j].empty(); ++j)
            text += std::string(j > 0 ? ", ." : ".") + std::string(kWritten[i].extensions[j]);
        text += ")";
    }
    return text;
}

std::string unwritableFormatText(const std::string& path)
{
    return "Kestrine cannot write ." + extensionOf(path) + " files: it writes " + writtenFormatsText() + ".";
}

} // namespace kestrine

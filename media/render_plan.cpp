// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/render_plan.h"

#include "media/ffmpeg.h"

#include <algorithm>
#include <cctype>

namespace kestrine {

std::int64_t frameAt(MediaTime time, int sampleRate)
{
    // FFmpeg's rescale is exact past 64 bits and rounds half away from zero.
    return av_rescale_rnd(time, sampleRate, kUnitsPerSecond, AV_ROUND_NEAR_INF);
}

OutputFormat outputFormatFor(const std::string& path)
{
    OutputFormat format;
    const std::size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.')
        return format;
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == "flac") {
        format.encoding = Encoding::Flac;
    } else if (extension == "mp3") {
        format.encoding = Encoding::Mp3;
    } else if (extension == "opus" || extension == "ogg") {
        format.encoding = Encoding::Opus;
        format.sampleRate = 48000; // the only rate Opus codes at without resampling
    } else if (extension == "m4a") {
        format.encoding = Encoding::M4a;
    } else if (extension == "m4b") {
        format.encoding = Encoding::M4b;
    } else if (extension == "aif" || extension == "aiff") {
        format.encoding = Encoding::Aiff;
    }
    return format;
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/chapter_comments.h"

#include "media/ffmpeg.h"
#include "media/utf8_text.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace kestrine {

std::vector<std::pair<std::string, std::string>> chapterComments(const std::vector<Marker>& markers,
                                                                 int sampleRate)
{
    std::vector<std::pair<std::string, std::string>> comments;
    for (std::size_t i = 0; i < std::min(markers.size(), kMostChapterComments); ++i) {
        char key[32];
        std::snprintf(key, sizeof key, "CHAPTER%03zu", i + 1);
        const std::int64_t ms =
            av_rescale_rnd(markers[i].frame, 1000, sampleRate, AV_ROUND_NEAR_INF);
        char time[40];
        std::snprintf(time, sizeof time, "%02" PRId64 ":%02" PRId64 ":%02" PRId64 ".%03" PRId64,
                      ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
        comments.emplace_back(key, time);
        comments.emplace_back(std::string(key) + "NAME", validUtf8(markers[i].label));
    }
    return comments;
}

} // namespace kestrine

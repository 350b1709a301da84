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

MediaResult countPlanFrames(RenderPlan& plan, std::vector<std::size_t>* kept)
{
    const int rate = plan.format.sampleRate;
    std::vector<PlannedSource> counted;
    std::vector<std::size_t> keptIndices;
    counted.reserve(plan.sources.size());
    std::int64_t total = frameAt(plan.length, rate);
    for (std::size_t i = 0; i < plan.sources.size(); ++i) {
        PlannedSource& source = plan.sources[i];
        source.firstFrame = frameAt(source.start, rate);
        source.endFrame = frameAt(source.stop, rate);
        source.soundFrames = -1;
        total = std::max(total, source.endFrame);
        if (source.endFrame <= source.firstFrame)
            continue;
        if (!counted.empty() && source.firstFrame < counted.back().endFrame)
            return result::kInvalidArgument;
        counted.push_back(std::move(source));
        keptIndices.push_back(i);
    }
    // What was learnt of each source stays with it.
    if (plan.sourceTitles.size() == plan.sources.size()) {
        std::vector<std::string> titles;
        for (const std::size_t i : keptIndices)
            titles.push_back(std::move(plan.sourceTitles[i]));
        plan.sourceTitles = std::move(titles);
    }
    if (plan.sourceChapters.size() == plan.sources.size()) {
        std::vector<std::vector<SourceChapter>> chapters;
        for (const std::size_t i : keptIndices)
            chapters.push_back(std::move(plan.sourceChapters[i]));
        plan.sourceChapters = std::move(chapters);
    }
    plan.sources = std::move(counted);
    plan.totalFrames = total;
    if (kept)
        *kept = std::move(keptIndices);
    return result::kOk;
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

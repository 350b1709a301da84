// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/sample_clock.h"

#include "media/ffmpeg.h"
#include "media/measure_duration.h"
#include "media/source_file.h"
#include "output/framework/worker_pool.h"

#include <algorithm>
#include <atomic>
#include <numeric>
#include <map>

namespace kestrine {

namespace {

// Wide enough for a position in output frames times the product of two rates.
__extension__ using Wide = __int128;

} // namespace

void placeOnSampleClock(RenderPlan& plan, const std::vector<int>& sourceRates)
{
    const std::int64_t outputRate = plan.format.sampleRate;
    std::int64_t position = 0;
    // The exact position is position + carried / carriedOver frames: a
    // fraction within half a frame either way, kept in lowest terms, so that
    // any number of sources at any mix of rates is rounded only once each.
    std::int64_t carried = 0;
    std::int64_t carriedOver = 1;
    std::int64_t timelineEnd = 0; // where the source before ended on the timeline's frames
    for (std::size_t i = 0; i < plan.sources.size(); ++i) {
        PlannedSource& source = plan.sources[i];
        const std::int64_t rate = i < sourceRates.size() && sourceRates[i] > 0 ? sourceRates[i] : outputRate;
        const std::int64_t rangeFrames = source.endFrame - source.firstFrame;
        if (source.firstFrame != timelineEnd) {
            // A gap on the timeline keeps its frames; the fraction carried so
            // far stays with the source before it.
            position += source.firstFrame - timelineEnd;
            carried = 0;
            carriedOver = 1;
        }
        timelineEnd = source.endFrame;
        source.firstFrame = position;
        if (source.mediaStop <= source.mediaStart) {
            // No media length to go by: the range keeps its frames.
            source.endFrame = position + rangeFrames;
            position = source.endFrame;
            carried = 0;
            carriedOver = 1;
            continue;
        }
        const MediaTime length = source.mediaStop - source.mediaStart;
        const std::int64_t ownFrames = av_rescale_rnd(length, rate, kUnitsPerSecond, AV_ROUND_NEAR_INF);
        // carried / carriedOver + ownFrames * outputRate / rate, over their common denominator.
        const std::int64_t common = std::lcm(carriedOver, rate);
        const Wide exact = Wide{carried} * (common / carriedOver) + Wide{ownFrames} * outputRate * (common / rate);
        const auto frames = static_cast<std::int64_t>((exact + common / 2) / common);
        carried = static_cast<std::int64_t>(exact - Wide{frames} * common);
        const std::int64_t divisor = std::gcd(carried, common);
        carried /= divisor;
        carriedOver = common / divisor;
        source.endFrame = position + frames;
        source.soundFrames = frames;
        position = source.endFrame;
    }
    plan.totalFrames = position + std::max<std::int64_t>(plan.totalFrames - timelineEnd, 0);
}

MediaResult findSourceFormats(const RenderPlan& plan, std::vector<SourceFormat>& sourceFormats,
                              std::ptrdiff_t& failedSource, std::stop_token stop, std::vector<SourceTags>* sourceTags)
{
    // Each file once, however many sources name it.
    std::map<std::string, std::pair<MediaResult, SourceFormat>> files;
    std::map<std::string, SourceTags> tagsOfFiles;
    for (const PlannedSource& source : plan.sources) {
        files.emplace(source.path, std::pair<MediaResult, SourceFormat>{result::kStopped, {}});
        tagsOfFiles.emplace(source.path, SourceTags{});
    }
    std::vector<std::pair<const std::string, std::pair<MediaResult, SourceFormat>>*> entries;
    for (auto& entry : files)
        entries.push_back(&entry);
    std::atomic<std::size_t> next{0};
    runOnWorkers(workerCount(entries.size()), [&] {
        for (std::size_t index = next++; index < entries.size() && !stop.stop_requested(); index = next++) {
            auto& [path, found] = *entries[index];
            found.first = measuredFormatOf(path, found.second, stop);
            // A file that was measured and is empty now has lost its sound.
            if (failed(found.first) && found.first != result::kStopped && sourceFileSize(path) == 0)
                found.first = result::kSourceShrank;
            // Every entry of the map exists already: each worker writes its own.
            if (sourceTags && succeeded(found.first))
                (void)readSourceTags(path, tagsOfFiles.at(path));
        }
    });
    if (stop.stop_requested())
        return result::kStopped;
    sourceFormats.assign(plan.sources.size(), {});
    for (std::size_t i = 0; i < plan.sources.size(); ++i) {
        const PlannedSource& source = plan.sources[i];
        const auto& [found, format] = files.at(source.path);
        if (failed(found)) {
            failedSource = static_cast<std::ptrdiff_t>(i);
            return found;
        }
        sourceFormats[i] = format;
        sourceFormats[i].length = source.stop - source.start;
    }
    if (sourceTags) {
        sourceTags->clear();
        for (const PlannedSource& source : plan.sources)
            sourceTags->push_back(tagsOfFiles.at(source.path));
    }
    return result::kOk;
}

void takeSourceTitles(RenderPlan& plan, const std::vector<SourceTags>& sourceTags)
{
    plan.sourceTitles.clear();
    plan.sourceChapters.clear();
    for (const SourceTags& tags : sourceTags) {
        plan.sourceTitles.push_back(tags.title);
        plan.sourceChapters.push_back(tags.chapters);
    }
}

} // namespace kestrine

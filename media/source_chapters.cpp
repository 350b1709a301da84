// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/source_chapters.h"

#include "media/ffmpeg.h"

#include <algorithm>

namespace kestrine {

std::vector<SourceChapter> chaptersOf(const AVFormatContext& context)
{
    std::vector<SourceChapter> chapters;
    for (unsigned i = 0; i < context.nb_chapters; ++i) {
        const AVChapter* chapter = context.chapters[i];
        if (chapter->start == AV_NOPTS_VALUE || chapter->time_base.num <= 0 || chapter->time_base.den <= 0)
            continue;
        SourceChapter taken;
        taken.start = av_rescale_q_rnd(chapter->start, chapter->time_base, AVRational{1, kUnitsPerSecond},
                                       static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
        if (const AVDictionaryEntry* title = av_dict_get(chapter->metadata, "title", nullptr, 0))
            taken.title = title->value;
        chapters.push_back(std::move(taken));
    }
    // Containers list them in order as a rule, not by law.
    std::stable_sort(chapters.begin(), chapters.end(),
                     [](const SourceChapter& a, const SourceChapter& b) { return a.start < b.start; });
    return chapters;
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "output/framework/media_framework.h"
#include "output/framework/media_result.h"
#include "media/output_tags.h"
#include "media/source_chapters.h"
#include "output/framework/media_time.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrine {

// The highest rate the engine converts from or to; past it, a rate is more
// likely a damaged header than sound.
inline constexpr int kHighestSampleRate = 768000;

// How the output file stores its sound. Every encoding takes the same
// frames from the render (16-bit, or 24-bit packed, little-endian and
// interleaved, as a WAV holds them); only the last step differs.
enum class Encoding {
    Wav,  // PCM, RF64 past 4 GiB
    Flac, // lossless
    Mp3,  // LAME VBR with a Xing/LAME header, for gapless players
    Opus, // in Ogg, 48,000 Hz only
    M4a,  // AAC-LC in MP4, with an edit list
    M4b,  // the same, branded as an audiobook
    Aiff, // big-endian PCM
};

struct OutputFormat {
    int sampleRate = 44100;
    int channels = 2;
    int bitsPerSample = 16; // 16 or 24
    Encoding encoding = Encoding::Wav;
    int bitRateKbps = 0;  // constant (MP3) or target (AAC, Opus); 0: none
    int vbrQuality = -1;  // MP3's VBR scale when it has no bit rate; -1: none
    friend bool operator==(const OutputFormat&, const OutputFormat&) = default;
};

// The format an output path asks for by its extension, in any case: .flac,
// .mp3, .opus and .ogg (Opus in Ogg, at 48,000 Hz), .m4a, .m4b (an
// audiobook), .aif and .aiff; anything else is a WAV (isUnwritableMediaName
// tells the names to refuse). Its rate, channels and bits are where a join
// starts before its sources choose them.
OutputFormat outputFormatFor(const std::string& path);

// One source of a join: which part of which file, and where it lands in the
// output, in frames. Every range is known before anything is decoded.
struct PlannedSource {
    std::string path;
    MediaTime mediaStart = 0;
    MediaTime mediaStop = 0;
    std::int64_t firstFrame = 0; // inclusive
    std::int64_t endFrame = 0;   // exclusive
    // The frames the file must give, from its media start; -1: as many as
    // the media times hold at the output's rate. Fewer is a file cut short.
    std::int64_t soundFrames = -1;
    // The source's place among all sources of its group, in track order,
    // by which a failure names it; -1 when it has none.
    int groupIndex = -1;
    // Where it lies on the timeline, from which its frames are counted at
    // whatever rate the output takes.
    MediaTime start = 0;
    MediaTime stop = 0;
};

struct RenderPlan {
    OutputFormat format;
    std::vector<PlannedSource> sources; // in output order, back to back
    std::int64_t totalFrames = 0;
    MediaTime length = 0; // the timeline's
    bool withMarkers = true; // a marker where each source starts
    // Each source's title tag, by the sources' index, once their files were
    // opened; empty for one that has none.
    std::vector<std::string> sourceTitles;
    // Each source's own chapters, by the sources' index as the titles; a
    // source without any (or beyond the list) has one marker at its start.
    std::vector<std::vector<SourceChapter>> sourceChapters;
    OutputTags tags; // what the output says about the join
    // What the join was asked for; the format above is what it takes. A
    // loudness asked for is measured first: the render reads every source twice.
    AudioFormatRequest request;
};

struct RenderProgress {
    // Frames written and complete from the start of the output; never decreases.
    std::atomic<std::int64_t> framesComplete{0};
    // When the join measures its loudness first: frames measured so far, of
    // the plan's total; the writing follows once every source is measured.
    std::atomic<bool> measuresFirst{false};
    std::atomic<std::int64_t> framesMeasured{0};
    // The plan's index of the source whose failure ended the render; -1 when
    // no source was to blame.
    std::atomic<std::ptrdiff_t> failedSource{-1};
    // Set once the render has looked at its sources.
    std::atomic<JoinRoad> road{JoinRoad::Undecided};
};

struct RenderOptions {
    int workers = 0; // 0: one per core
    // How often the output's header catches up with the frames complete.
    std::chrono::milliseconds claimInterval{1000};
    // A source is cut into stretches for several workers only where each is
    // at least this long.
    double leastStretchSeconds = 30.0;
};

// Counts the plan's sources and length in frames at its format's rate, from
// their places on the timeline, leaving out sources that take no frame; the
// titles and chapters of those kept stay beside them. With `kept`, the indices the kept
// sources had before, for the caller's own lists by source.
// result::kInvalidArgument when two sources overlap.
MediaResult countPlanFrames(RenderPlan& plan, std::vector<std::size_t>* kept = nullptr);

// The output frame that a timeline time falls on: round(time * rate / 10^7).
std::int64_t frameAt(MediaTime time, int sampleRate);

} // namespace kestrine

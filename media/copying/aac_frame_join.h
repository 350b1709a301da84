// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/copying/aac_source_units.h"
#include "media/render_plan.h"
#include "output/framework/media_result.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

namespace kestrine {

// A join of AAC-LC files in MP4 into one AAC stream that copies the
// sources' access units and stays exact: every sample of every source
// lands at its place, as a player that honours the edit list plays it.
//
// The output's edit list trims the first source's priming and the last
// source's padding. A copied unit plays its source's samples only at a
// whole number of units from the stream's start, so a source's units are
// copied when its start in the join, plus the output's priming, minus its
// own priming is such a number: the parts of one encoding cut apart by
// copying, as a rule; files encoded one by one, only when those before
// them hold whole units. A unit's transform reaches into the next unit's
// samples, so the units whose transform would take in a neighbour's
// priming or padding, two or three around each join, are encoded anew with
// FFmpeg's AAC encoder from the sources' decoded sound, starting a few
// units early so that the first one kept rebuilds the overlap with the
// copied unit before it. The copied units at either side of such a stretch
// have long windows there, whose overlap a stretch of long windows matches.
class AacFrameJoin {
public:
    // One whole access unit of the output, in order.
    using UnitHandler = std::function<MediaResult(const std::uint8_t* bytes, int size)>;
    // The join's samples complete from the start, after each unit.
    using ProgressHandler = std::function<void(std::int64_t samples)>;

    // Plans the join of `plan`, whose output is AAC of its sources' rate and
    // channels. With every source copyable: `join` is set. When a source
    // stands in the way: `join` stays empty and `reason` says why, in words
    // after the file's name: that join is encoded. A failure only when a
    // source cannot be read.
    static MediaResult plan(const RenderPlan& plan, std::unique_ptr<AacFrameJoin>& join, std::string& reason,
                            std::stop_token stop = {});

    int sampleRate() const { return sampleRate_; }
    int channels() const { return channels_; }
    // The first source's AudioSpecificConfig, for the output's esds.
    const std::vector<std::uint8_t>& setup() const { return setup_; }
    // Samples of the output's first units before the sound, for its edit list.
    std::int64_t priming() const { return priming_; }
    std::int64_t bitRate() const { return bitRate_; }
    std::int64_t totalSamples() const { return totalSamples_; }
    std::int64_t outputUnits() const { return outputUnits_; }
    // The output's units that are copied from the sources, as planned.
    std::int64_t copiedUnits() const;

    // Writes the output's units in order. result::kStopped between units
    // once `stop` is requested; result::kFalse when a source turns out
    // damaged, or a join's stretch cannot meet its copied neighbours with
    // the windows they have: the join is to be encoded.
    MediaResult run(const UnitHandler& units, std::stop_token stop, const ProgressHandler& progress = {});

    ~AacFrameJoin();
    AacFrameJoin(const AacFrameJoin&) = delete;
    AacFrameJoin& operator=(const AacFrameJoin&) = delete;

    struct Source;
    struct Piece;
    class Sound;

private:
    AacFrameJoin();
    MediaResult copyUnits(const Piece& piece, const UnitHandler& units, std::stop_token stop,
                          const ProgressHandler& progress);
    MediaResult encodeStretch(std::size_t piece, const UnitHandler& units, std::stop_token stop,
                              const ProgressHandler& progress);
    void reportUnit(std::int64_t unit, const ProgressHandler& progress) const;

    std::vector<Source> sources_;
    std::vector<Piece> pieces_;
    std::unique_ptr<Sound> sound_;
    int sampleRate_ = 0;
    int channels_ = 0;
    int rateIndex_ = 0;
    std::vector<std::uint8_t> setup_;
    std::int64_t priming_ = 0;
    std::int64_t bitRate_ = 0;
    std::int64_t totalSamples_ = 0;
    std::int64_t outputUnits_ = 0;
    bool lastWindowKnown_ = false; // of the unit written last
    AacWindow lastWindow_ = AacWindow::OnlyLong;
};

} // namespace kestrine

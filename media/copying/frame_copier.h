// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/ffmpeg.h"
#include "media/render_plan.h"
#include "output/framework/media_result.h"

#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>

namespace kestrine {

struct MediaInput;

// Takes one packet of the output's stream, timestamps in 1/rate.
using PacketWriter = std::function<MediaResult(AVPacket& packet)>;
// Told the output frames complete from the start of the join, as they grow.
using CopyProgress = std::function<void(std::int64_t framesComplete)>;

// The copy road of one codec: how its sources' compressed frames go into
// the output as they are, every sample at its own place. One class per
// codec, each made by makeJoinCopier alone; a join uses one copier from
// its first source to its end, so a copier may hold frames back at the end
// of one source to splice them with the start of the next.
class FrameCopier {
public:
    virtual ~FrameCopier() = default;

    // Why the source in `input` (opened, without a decoder) cannot give its
    // frames to a join in `format`, in which it fills `frames` frames; empty
    // when it can. What the file does not say for sure is a reason: a delay
    // or a length is never guessed.
    virtual std::string whyNotCopied(const MediaInput& input, const OutputFormat& format,
                                     std::int64_t frames) const = 0;

    // The stream as the container's header describes it, from the first
    // source: codec, rate, channels, setup bytes. Not opened: nothing is
    // encoded with it, unless the copier needs to at the joins.
    virtual MediaResult describeStream(const MediaInput& first, const OutputFormat& format,
                                       CodecContextPtr& stream) = 0;

    // Puts the frames of the source in `input`, which fill the `frames`
    // output frames from frame `firstFrame` on, into `write` in order.
    // `last`: no source follows. result::kStopped when `stop` is requested first;
    // result::kFalse when the file turns out not to be copyable after all
    // (a damaged frame, a length other than its header said), so that the
    // join is made again on the encode road.
    virtual MediaResult copySource(MediaInput& input, std::int64_t firstFrame, std::int64_t frames, bool last,
                                   const PacketWriter& write, const CopyProgress& progress,
                                   std::stop_token stop) = 0;

    // Makes `stream` say what the container's trailer needs of a stream of
    // the first `frames` frames (its length, block and frame sizes ...).
    virtual MediaResult endStream(AVCodecContext& stream, std::int64_t frames) = 0;
};

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/copying/mp3_reservoir_packer.h"
#include "media/copying/mp3_source_frames.h"
#include "media/render_plan.h"
#include "output/framework/media_result.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

namespace kestrine {

// Whether a source's frames, copied, play its samples at their place: when
// it starts at sample `start` of the join, its encoder delay is
// `sourceDelay` and the output's `outputDelay`. A source cut from a longer
// MP3 at a frame boundary, after others so cut, has its frames in place;
// one encoded on its own, as a rule, not.
bool mp3FramesFallInPlace(std::int64_t start, int outputDelay, int sourceDelay, int samplesPerFrame);

// A join of MP3 files into one MP3 stream that copies the sources' frames
// and stays exact: every sample of every source lands at its place in the
// join, as a decoder that honours the LAME tags plays them.
//
// A copied frame plays its source's samples only at a whole number of
// frames from the stream's start, so a source's frames are copied when its
// start in the join, plus the output's encoder delay, minus its own delay
// is such a number (mp3FramesFallInPlace); the first source sets the
// output's delay. Around each join, where one source's padding and the next
// one's delay would lie, and across a source too short to keep a frame of
// its own, the frames are encoded anew with LAME from the sources' decoded sound, without a bit
// reservoir, at the neighbours' highest bit rate. Every frame goes out
// through an Mp3ReservoirPacker: a copied frame after such a stretch finds
// the bytes its main_data_begin points back to at the end of the stretch's
// last frame, which takes a higher bit rate where it needs the room.
class Mp3FrameJoin {
public:
    // One whole frame of the output, in order.
    using FrameHandler = std::function<MediaResult(const std::uint8_t* bytes, int size)>;
    // The join's samples complete from the start, after each frame.
    using ProgressHandler = std::function<void(std::int64_t samples)>;

    // Plans the join of `plan`, whose output is an MP3 of its sources'
    // rate and channels. With every source copyable: `join` is set. When a
    // source stands in the way: `join` stays empty and `reason` says why in
    // words after the file's name ("NAME has no LAME tag ..."): that join is
    // encoded. A failure only when a source cannot be read.
    static MediaResult plan(const RenderPlan& plan, std::unique_ptr<Mp3FrameJoin>& join, std::string& reason);

    // The same, one source at a time, for a join whose sources are looked
    // at as it goes: a join in `format`, to which addSource adds each source
    // of `length` samples in order, and whose run writes what they settle.
    static std::unique_ptr<Mp3FrameJoin> start(const OutputFormat& format);
    MediaResult addSource(const std::string& path, std::int64_t length, bool last, std::string& reason);

    int sampleRate() const { return sampleRate_; }
    int channels() const { return channels_; }
    int samplesPerFrame() const { return samplesPerFrame_; }
    // The bit rate of the first source's first frame, for the tag's frame.
    int bitRate() const { return bitRate_; }
    // The output's encoder delay and padding, for its LAME tag.
    int encoderDelay() const { return encoderDelay_; }
    int padding() const { return padding_; }
    std::int64_t totalSamples() const { return totalSamples_; }
    std::int64_t outputFrames() const { return outputFrames_; }
    // The output's frames that are copied from the sources, as planned.
    std::int64_t copiedFrames() const;

    // Writes the output's frames in order, as far as the sources added so
    // far settle them. result::kStopped between frames once `stop` is
    // requested; result::kFalse when no frame after a join has room for the
    // reservoir bytes of the copied frame that follows it: the join is to
    // be encoded.
    MediaResult run(const FrameHandler& frames, std::stop_token stop, const ProgressHandler& progress = {});

    ~Mp3FrameJoin();
    Mp3FrameJoin(const Mp3FrameJoin&) = delete;
    Mp3FrameJoin& operator=(const Mp3FrameJoin&) = delete;

    struct Source;
    struct Piece;
    class Samples;

private:
    Mp3FrameJoin() = default;
    MediaResult encodeStretch(std::size_t piece, Mp3ReservoirPacker& frames, std::stop_token stop,
                              const ProgressHandler& progress);
    MediaResult copyFrames(const Piece& piece, Mp3ReservoirPacker& frames, std::stop_token stop,
                           const ProgressHandler& progress);
    void reportFrame(std::int64_t outputFrame, const ProgressHandler& progress) const;

    OutputFormat format_;
    std::vector<Source> sources_;
    std::vector<Piece> pieces_;
    std::unique_ptr<Samples> samples_;
    int sampleRate_ = 0;
    int channels_ = 0;
    int samplesPerFrame_ = 0;
    int bitRate_ = 0;
    int encoderDelay_ = 0;
    int padding_ = 0;
    std::int64_t totalSamples_ = 0;
    std::int64_t outputFrames_ = 0;
    std::int64_t plannedFrames_ = 0; // output frames the pieces reach
    std::size_t written_ = 0;        // pieces run
    bool ended_ = false;             // the last source is added
};

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/copying/mp3_frame_join.h"
#include "media/ffmpeg.h"
#include "media/render_plan.h"
#include "output/framework/media_result.h"

#include <stop_token>
#include <string>

namespace kestrine {

// The stream of an MP3 join's frames, as an encoder would describe it to the
// MP3 writer: its rate, channels, a bit rate for the tag's own frame, and
// the encoder delay that the LAME tag is to give.
MediaResult describeMp3Stream(int sampleRate, int channels, int samplesPerFrame, int bitRate, int encoderDelay,
                              CodecContextPtr& codec);

// FFmpeg's MP3 muxer takes the LAME tag's delay from the first packet's
// samples to skip, and its padding from the last packet's samples to cut,
// each with the decoder's delay, as an encoder marks them; -1 leaves one as it is.
bool markMp3Skip(AVPacket& packet, std::int64_t start, std::int64_t end);

// Writes `join`, planned from `plan`, into the MP3 file at `outputPath`
// through the MP3 writer the encoding join uses: a partial file beside it
// that takes its place at the end, the same ID3v2 tag with the plan's tags,
// cover and chapters, and one Xing/LAME tag that FFmpeg's muxer fills in:
// the frame count, the first source's delay, the padding, the seek table
// and the tag's CRC. Stopped, the file keeps the samples complete from the
// start and says so in its tag; failed, or stopped before any sample, the
// partial file is removed.
MediaResult writeMp3FrameJoin(const RenderPlan& plan, Mp3FrameJoin& join, const std::string& outputPath,
                              RenderProgress& progress, std::stop_token stop);

} // namespace kestrine

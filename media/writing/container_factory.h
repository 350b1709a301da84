// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/container_writer.h"
#include "media/output_sink.h"
#include "media/render_plan.h"

#include <memory>
#include <string>
#include <vector>

namespace kestrine {

// The writer of the container `format` names: the one place that chooses
// by the encoding. It writes into `fd`, the partial file of `path` (named
// for FFmpeg's checks of its extension). result::kInvalidArgument for a
// format no container takes, result::kNoEncoder when this FFmpeg lacks the
// muxer.
MediaResult makeContainerWriter(const OutputFormat& format, int fd, const std::string& path,
                                std::vector<Marker> markers, std::int64_t totalFrames,
                                std::unique_ptr<ContainerWriter>& writer, OutputTags tags = {});

class JoinCopier;

// The copy road of the codec `encoding` stores, for joins whose sources hold
// that codec already; null for an encoding without one.
std::unique_ptr<JoinCopier> makeJoinCopier(Encoding encoding);

class StretchSplicer;

// How the encoder of `format`'s codec splits across threads without a
// seam; null for a codec that keeps one encoder.
std::unique_ptr<StretchSplicer> makeStretchSplicer(const OutputFormat& format);

// The sink a render of `plan` writes into: a partial file beside `path` in
// the plan's container, with its markers, which takes the output's place
// when the sink finishes. Nothing is left behind when creating fails.
// `workers` as RenderOptions has them: how many threads an encoder that
// splits takes.
MediaResult createOutputSink(const RenderPlan& plan, const std::string& path,
                             std::unique_ptr<OutputSink>& sink, int workers = 1);

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/copy_road.h"

#include "media/markers.h"
#include "media/media_input.h"
#include "media/partial_file.h"
#include "media/writing/container_factory.h"

namespace kestrine {

bool asksToChangeSound(const RenderPlan& plan)
{
    const AudioFormatRequest& request = plan.request;
    const bool gains = request.loudness.mode == LoudnessMode::Track || request.loudness.mode == LoudnessMode::Album;
    return request.reencode || request.bitRateKbps != 0 || request.vbrQuality >= 0 || gains;
}

RoadChoice chooseJoinRoad(const RenderPlan& plan, std::stop_token stop)
{
    RoadChoice choice;
    if (asksToChangeSound(plan)) {
        choice.reason = "the join asks for its sound to be encoded";
        return choice;
    }
    std::unique_ptr<JoinCopier> copier = makeJoinCopier(plan.format.encoding);
    if (!copier) {
        choice.reason = "the output's codec has no copy road";
        return choice;
    }
    choice.reason = copier->whyNotCopied(plan, stop);
    if (choice.reason.empty()) {
        choice.road = JoinRoad::Copy;
        choice.copier = std::move(copier);
    }
    return choice;
}

std::string FrameByFrameCopier::whyNotCopied(const RenderPlan& plan, std::stop_token stop)
{
    if (plan.sources.empty() || plan.sources.back().endFrame != plan.totalFrames)
        return "the join ends in silence";
    std::int64_t at = 0;
    for (const PlannedSource& source : plan.sources) {
        // Silence between sources, or part of a file, is made by the encoder.
        if (source.firstFrame != at || source.mediaStart != 0)
            return source.path + " is not joined whole, right after the file before it";
        at = source.endFrame;
        MediaInput input;
        if (failed(openMediaInput(source.path, input, false, stop)))
            return source.path + " does not open";
        if (std::string why = copier_->whyNotCopied(input, plan.format, source.endFrame - source.firstFrame);
            !why.empty())
            return source.path + " " + why;
    }
    return {};
}

MediaResult FrameByFrameCopier::write(const RenderPlan& plan, const std::string& path, RenderProgress& progress,
                                      std::stop_token stop)
{
    return copyJoin(plan, *copier_, path, progress, stop);
}

MediaResult copyJoin(const RenderPlan& plan, FrameCopier& copier, const std::string& path,
                     RenderProgress& progress, std::stop_token stop)
{
    PartialFile partial;
    if (const MediaResult created = createPartialFile(path, partial); failed(created))
        return created;
    std::unique_ptr<ContainerWriter> writer;
    CodecContextPtr stream;
    MediaResult copied = makeContainerWriter(plan.format, partial.fd, partial.target, markersOf(plan),
                                             plan.totalFrames, writer, plan.tags);
    std::int64_t complete = 0;
    MediaResult writeFailure = result::kOk;
    const PacketWriter write = [&](AVPacket& packet) {
        const MediaResult written = writer->writePacket(packet);
        if (failed(written))
            writeFailure = written;
        return written;
    };
    const CopyProgress told = [&](std::int64_t frames) {
        complete = frames;
        progress.framesComplete.store(frames, std::memory_order_release);
    };
    for (std::size_t i = 0; succeeded(copied) && copied != result::kFalse && i < plan.sources.size(); ++i) {
        const PlannedSource& source = plan.sources[i];
        MediaInput input;
        copied = openMediaInput(source.path, input, false, stop);
        if (failed(copied) && copied != result::kStopped) {
            progress.failedSource = static_cast<std::ptrdiff_t>(i);
            break;
        }
        if (!stream) {
            copied = copier.describeStream(input, plan.format, stream);
            if (succeeded(copied))
                copied = writer->writeHeader(stream.get());
            if (failed(copied))
                break;
        }
        copied = copier.copySource(input, source.firstFrame, source.endFrame - source.firstFrame,
                                   i + 1 == plan.sources.size(), write, told, stop);
        // A disk that fails, or a stop, is no source's doing.
        if (failed(copied) && copied != result::kStopped && succeeded(writeFailure))
            progress.failedSource = static_cast<std::ptrdiff_t>(i);
    }
    if (copied == result::kFalse || (succeeded(copied) && complete != plan.totalFrames)) {
        progress.failedSource = -1;
        discardPartialFile(partial);
        return result::kFalse;
    }
    // Nothing worth keeping, or a disk that takes no more: whatever stood
    // at the output path stays as it was.
    if (failed(copied) && (complete == 0 || failed(writeFailure))) {
        discardPartialFile(partial);
        return copied;
    }
    MediaResult ended = copier.endStream(*stream, complete);
    if (succeeded(ended))
        ended = writer->finish(stream.get(), complete);
    if (succeeded(ended))
        ended = commitPartialFile(partial);
    if (failed(ended)) {
        discardPartialFile(partial);
        return ended;
    }
    return copied;
}

} // namespace kestrine

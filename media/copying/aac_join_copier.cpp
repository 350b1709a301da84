// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/aac_join_copier.h"

#include "media/ffmpeg.h"
#include "media/markers.h"
#include "media/partial_file.h"
#include "media/writing/container_factory.h"

#include <algorithm>

namespace kestrine {
namespace {

MediaResult describeAacStream(const AacFrameJoin& join, CodecContextPtr& codec)
{
    codec.reset(avcodec_alloc_context3(nullptr));
    if (!codec)
        return result::kOutOfMemory;
    codec->codec_type = AVMEDIA_TYPE_AUDIO;
    codec->codec_id = AV_CODEC_ID_AAC;
    codec->profile = FF_PROFILE_AAC_LOW;
    codec->sample_rate = join.sampleRate();
    av_channel_layout_default(&codec->ch_layout, join.channels());
    codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
    codec->bit_rate = join.bitRate();
    codec->frame_size = kAacUnitSamples;
    codec->time_base = AVRational{1, join.sampleRate()};
    codec->initial_padding = static_cast<int>(join.priming());
    const std::vector<std::uint8_t>& setup = join.setup();
    codec->extradata = static_cast<std::uint8_t*>(av_mallocz(setup.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!codec->extradata)
        return result::kOutOfMemory;
    std::copy(setup.begin(), setup.end(), codec->extradata);
    codec->extradata_size = static_cast<int>(setup.size());
    return result::kOk;
}

} // namespace

std::string AacJoinCopier::whyNotCopied(const RenderPlan& plan, std::stop_token stop)
{
    std::string reason;
    if (const MediaResult planned = AacFrameJoin::plan(plan, join_, reason, stop); failed(planned))
        return reason.empty() ? std::string("a file cannot be read unit by unit") : reason;
    if (!join_ && reason.empty())
        reason = "the join cannot be planned unit by unit";
    return reason;
}

MediaResult AacJoinCopier::write(const RenderPlan& plan, const std::string& path, RenderProgress& progress,
                                 std::stop_token stop)
{
    if (!join_)
        return result::kFalse;
    return writeAacFrameJoin(plan, *join_, path, progress, stop);
}

MediaResult writeAacFrameJoin(const RenderPlan& plan, AacFrameJoin& join, const std::string& outputPath,
                              RenderProgress& progress, std::stop_token stop)
{
    CodecContextPtr codec;
    if (const MediaResult described = describeAacStream(join, codec); failed(described))
        return described;
    PartialFile partial;
    if (const MediaResult created = createPartialFile(outputPath, partial); failed(created))
        return created;
    std::unique_ptr<ContainerWriter> writer;
    MediaResult outcome = makeContainerWriter(plan.format, partial.fd, partial.target, markersOf(plan),
                                              plan.totalFrames, writer, plan.tags);
    if (succeeded(outcome))
        outcome = writer->writeHeader(codec.get());
    PacketPtr packet(av_packet_alloc());
    if (succeeded(outcome) && !packet)
        outcome = result::kOutOfMemory;
    if (failed(outcome)) {
        discardPartialFile(partial);
        return outcome;
    }

    std::int64_t unitsWritten = 0;
    MediaResult writeFailure = result::kOk;
    const auto takeUnit = [&](const std::uint8_t* bytes, int size) -> MediaResult {
        av_packet_unref(packet.get());
        if (av_new_packet(packet.get(), size) < 0)
            return result::kOutOfMemory;
        std::copy(bytes, bytes + size, packet->data);
        packet->pts = packet->dts = unitsWritten * kAacUnitSamples - join.priming();
        packet->duration = kAacUnitSamples;
        const MediaResult written = writer->writePacket(*packet);
        if (failed(written)) {
            writeFailure = written;
            return written;
        }
        ++unitsWritten;
        return result::kOk;
    };
    outcome = join.run(takeUnit, stop, [&progress](std::int64_t samples) {
        progress.framesComplete.store(samples, std::memory_order_release);
    });

    const std::int64_t complete =
        outcome == result::kOk
            ? join.totalSamples()
            : std::clamp<std::int64_t>(unitsWritten * kAacUnitSamples - join.priming(), 0, join.totalSamples());
    // A source to be encoded after all, a disk that takes no more, or
    // nothing worth keeping: whatever stood at the output path stays as it was.
    if (outcome == result::kFalse || failed(writeFailure) || (failed(outcome) && outcome != result::kStopped) ||
        complete == 0) {
        discardPartialFile(partial);
        if (outcome == result::kFalse || failed(outcome))
            return outcome;
        return result::kStopped;
    }
    MediaResult ended = writer->finish(codec.get(), complete);
    if (succeeded(ended))
        ended = commitPartialFile(partial);
    if (failed(ended)) {
        discardPartialFile(partial);
        return ended;
    }
    progress.framesComplete.store(complete, std::memory_order_release);
    return outcome;
}

} // namespace kestrine

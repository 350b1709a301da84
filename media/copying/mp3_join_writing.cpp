// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/mp3_join_writing.h"

#include "media/ffmpeg.h"
#include "media/markers.h"
#include "media/partial_file.h"
#include "media/writing/container_factory.h"

#include <algorithm>
#include <vector>

namespace kestrine {

MediaResult describeMp3Stream(int sampleRate, int channels, int samplesPerFrame, int bitRate, int encoderDelay,
                              CodecContextPtr& codec)
{
    codec.reset(avcodec_alloc_context3(nullptr));
    if (!codec)
        return result::kOutOfMemory;
    codec->codec_type = AVMEDIA_TYPE_AUDIO;
    codec->codec_id = AV_CODEC_ID_MP3;
    codec->sample_rate = sampleRate;
    av_channel_layout_default(&codec->ch_layout, channels);
    codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
    codec->bit_rate = bitRate;
    codec->frame_size = samplesPerFrame;
    codec->time_base = AVRational{1, sampleRate};
    codec->initial_padding = encoderDelay + kMp3DecoderDelay;
    return result::kOk;
}

bool markMp3Skip(AVPacket& packet, std::int64_t start, std::int64_t end)
{
    std::uint8_t* skip = av_packet_get_side_data(&packet, AV_PKT_DATA_SKIP_SAMPLES, nullptr);
    if (!skip) {
        skip = av_packet_new_side_data(&packet, AV_PKT_DATA_SKIP_SAMPLES, 10);
        if (!skip)
            return false;
        std::fill(skip, skip + 10, std::uint8_t{0});
    }
    if (start >= 0)
        AV_WL32(skip, static_cast<std::uint32_t>(start));
    if (end >= 0)
        AV_WL32(skip + 4, static_cast<std::uint32_t>(end));
    return true;
}

MediaResult writeMp3FrameJoin(const RenderPlan& plan, Mp3FrameJoin& join, const std::string& outputPath,
                              RenderProgress& progress, std::stop_token stop)
{
    CodecContextPtr codec;
    if (const MediaResult described = describeMp3Stream(join.sampleRate(), join.channels(), join.samplesPerFrame(),
                                                        join.bitRate(), join.encoderDelay(), codec);
        failed(described))
        return described;
    PartialFile partial;
    if (const MediaResult created = createPartialFile(outputPath, partial); failed(created))
        return created;
    std::unique_ptr<ContainerWriter> writer;
    MediaResult outcome = makeContainerWriter(plan.format, partial.fd, partial.target, markersOf(plan),
                                              plan.totalFrames, writer, plan.tags);
    if (succeeded(outcome))
        outcome = writer->writeHeader(codec.get());
    if (failed(outcome)) {
        discardPartialFile(partial);
        return outcome;
    }

    // Each frame is written once the next one comes, so that the last one
    // can carry the padding that ends the sound where the join ends.
    PacketPtr pending(av_packet_alloc());
    std::int64_t framesWritten = 0; // pending included
    auto writePending = [&]() -> MediaResult {
        if (pending->size == 0)
            return result::kOk;
        pending->pts = pending->dts = (framesWritten - 1) * join.samplesPerFrame();
        pending->duration = join.samplesPerFrame();
        const MediaResult written = writer->writePacket(*pending);
        av_packet_unref(pending.get());
        return written;
    };
    auto takeFrame = [&](const std::uint8_t* bytes, int size) -> MediaResult {
        if (const MediaResult written = writePending(); failed(written))
            return written;
        if (av_new_packet(pending.get(), size) < 0)
            return result::kOutOfMemory;
        std::copy(bytes, bytes + size, pending->data);
        ++framesWritten;
        if (framesWritten == 1 && !markMp3Skip(*pending, join.encoderDelay() + kMp3DecoderDelay, -1))
            return result::kOutOfMemory;
        return result::kOk;
    };
    if (!pending)
        outcome = result::kOutOfMemory;
    else
        outcome = join.run(takeFrame, stop, [&progress](std::int64_t samples) {
            progress.framesComplete.store(samples, std::memory_order_release);
        });

    const std::int64_t played = framesWritten * join.samplesPerFrame() - join.encoderDelay() - kMp3DecoderDelay;
    const std::int64_t complete = succeeded(outcome) ? join.totalSamples()
                                                     : std::clamp<std::int64_t>(played, 0, join.totalSamples());
    if ((failed(outcome) && outcome != result::kStopped) || complete == 0 || !pending) {
        discardPartialFile(partial);
        return failed(outcome) ? outcome : result::kStopped;
    }
    const std::int64_t padding =
        framesWritten * join.samplesPerFrame() - join.encoderDelay() - complete - kMp3DecoderDelay;
    if (!markMp3Skip(*pending, -1, padding)) {
        discardPartialFile(partial);
        return result::kOutOfMemory;
    }
    MediaResult ended = writePending();
    if (succeeded(ended))
        ended = writer->finish(codec.get(), complete);
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

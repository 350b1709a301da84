// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/writing/id3_tag.h"

#include "media/loudness/replay_gain.h"
#include "media/writing/ffmpeg_muxer.h"

#include <cstring>

namespace kestrine {
namespace {

constexpr std::size_t kId3HeaderBytes = 10;
// APIC: frame header, text encoding, MIME type with its zero, picture type,
// an empty description in UTF-16 with its byte order mark; and some to spare.
constexpr std::size_t kApicOverhead = 64;

void setTags(AVDictionary*& metadata, const OutputTags& tags)
{
    for (const auto& [key, value] : tags.fields)
        av_dict_set(&metadata, key.c_str(), value.c_str(), 0);
    // FFmpeg writes a name it has no frame for as a TXXX frame of that name,
    // where players look for ReplayGain.
    if (tags.playbackGain)
        for (const auto& [key, value] : replayGainFieldsOf(*tags.playbackGain))
            av_dict_set(&metadata, key.c_str(), value.c_str(), 0);
}

} // namespace

std::size_t id3CoverBytes(const OutputTags& tags)
{
    return tags.cover.empty() ? 0 : tags.cover.bytes.size() + tags.cover.mimeType.size() + kApicOverhead;
}

MediaResult id3TagOf(const OutputTags& tags, const std::vector<Marker>& markers, int sampleRate,
                     std::int64_t frames, const AVCodecParameters* audio, std::vector<std::uint8_t>& tag)
{
    // FFmpeg's MP3 muxer writes only the tag when its output cannot seek.
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "mp3", nullptr) < 0 || !raw)
        return result::kNoEncoder;
    const OutputFormatPtr context(raw);
    AVStream* stream = avformat_new_stream(raw, nullptr);
    if (!stream)
        return result::kOutOfMemory;
    if (audio) {
        if (const int error = avcodec_parameters_copy(stream->codecpar, audio); error < 0)
            return error == AVERROR(ENOMEM) ? result::kOutOfMemory : error;
    } else {
        // Outside an MP3 file the tag names no encoder: nothing but what it is asked to hold.
        raw->flags |= AVFMT_FLAG_BITEXACT;
        stream->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
        stream->codecpar->codec_id = AV_CODEC_ID_MP3;
        stream->codecpar->sample_rate = sampleRate;
        av_channel_layout_default(&stream->codecpar->ch_layout, 2);
    }
    stream->time_base = AVRational{1, sampleRate};
    AVStream* picture = nullptr;
    if (!tags.cover.empty()) {
        picture = avformat_new_stream(raw, nullptr);
        if (!picture)
            return result::kOutOfMemory;
        picture->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
        picture->codecpar->codec_id = tags.cover.mimeType == "image/png" ? AV_CODEC_ID_PNG : AV_CODEC_ID_MJPEG;
        // FFmpeg wants a picture's size before it writes any; an APIC frame
        // does not hold it.
        picture->codecpar->width = 1;
        picture->codecpar->height = 1;
        picture->disposition = AV_DISPOSITION_ATTACHED_PIC;
        picture->time_base = AVRational{1, 90000};
        av_dict_set(&picture->metadata, "comment", "Cover (front)", 0);
    }
    setTags(raw->metadata, tags);
    if (const MediaResult added = addChapters(*raw, markers, sampleRate, frames); failed(added))
        return added;
    AVIOContext* opened = nullptr;
    if (avio_open_dyn_buf(&opened) < 0)
        return result::kOutOfMemory;
    DynamicBufferPtr buffer(opened);
    raw->pb = buffer.get();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    AVDictionary* options = nullptr;
    av_dict_set_int(&options, "id3v2_version", 3, 0);
    const int error = avformat_write_header(raw, &options);
    av_dict_free(&options);
    if (error < 0)
        return error == AVERROR(ENOMEM) ? result::kOutOfMemory : error;
    if (picture) {
        // The muxer ends its tag once it has the picture.
        PacketPtr packet(av_packet_alloc());
        if (!packet || av_new_packet(packet.get(), static_cast<int>(tags.cover.bytes.size())) < 0)
            return result::kOutOfMemory;
        std::memcpy(packet->data, tags.cover.bytes.data(), tags.cover.bytes.size());
        packet->stream_index = picture->index;
        packet->pts = packet->dts = 0;
        packet->flags |= AV_PKT_FLAG_KEY;
        if (const int written = av_write_frame(raw, packet.get()); written < 0)
            return written == AVERROR(ENOMEM) ? result::kOutOfMemory : written;
    }
    avio_flush(buffer.get());
    std::uint8_t* bytes = nullptr;
    const int size = avio_get_dyn_buf(buffer.get(), &bytes);
    if (size < static_cast<int>(kId3HeaderBytes) || std::memcmp(bytes, "ID3", 3) != 0)
        return result::kUnexpected;
    const std::size_t tagBytes = kId3HeaderBytes + (std::size_t(bytes[6] & 0x7f) << 21 |
                                                    std::size_t(bytes[7] & 0x7f) << 14 |
                                                    std::size_t(bytes[8] & 0x7f) << 7 | std::size_t(bytes[9] & 0x7f));
    if (tagBytes > static_cast<std::size_t>(size))
        return result::kUnexpected;
    tag.assign(bytes, bytes + tagBytes);
    return result::kOk;
}

} // namespace kestrine

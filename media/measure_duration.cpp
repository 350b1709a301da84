// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/audio_decoder.h"
#include "media/ffmpeg.h"
#include "media/media_input.h"
#include "media/measure_duration.h"
#include "media/wav_header.h"

#include <algorithm>
#include <cstring>

namespace kestrine {
namespace {

constexpr std::int64_t kUnknown = -1;
// Fewer bits than this a second carry no sound in any codec FFmpeg decodes:
// a length that needs fewer comes from a damaged or hostile timestamp.
constexpr std::int64_t kLowestPlausibleBitsPerSecond = 1000;

bool isOneOf(const char* name, std::initializer_list<const char*> names)
{
    return std::any_of(names.begin(), names.end(), [&](const char* candidate) {
        return std::strcmp(name, candidate) == 0;
    });
}

// PCM in a WAV or AIFF: the header says how long, the file size says how much
// is really there; the smaller is the truth. Nothing needs reading.
std::int64_t countPcmFrames(MediaInput& input)
{
    const AVStream* stream = input.stream();
    const AVCodecParameters* parameters = stream->codecpar;
    if (av_get_bits_per_sample(parameters->codec_id) <= 0 || parameters->block_align <= 0 ||
        !isOneOf(input.format->iformat->name, {"wav", "w64", "aiff"}))
        return kUnknown;
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        return kUnknown;
    const int error = av_read_frame(input.format.get(), packet.get());
    // No data where the header says there are no frames (AIFF's frame count)
    // is an empty file; anything else was cut short.
    if (error == AVERROR_EOF)
        return stream->duration == 0 ? 0 : kUnknown;
    if (error < 0)
        return kUnknown;
    const std::int64_t dataStart = packet->pos;
    const std::int64_t fileSize = avio_size(input.format->pb);
    // Without a position, the header is all there is to go by.
    std::int64_t frames = dataStart >= 0 && fileSize >= dataStart
                              ? (fileSize - dataStart) / parameters->block_align
                              : INT64_MAX;
    if (stream->duration > 0)
        frames = std::min(frames, av_rescale_q(stream->duration, stream->time_base,
                                               AVRational{1, parameters->sample_rate}));
    return frames == INT64_MAX ? kUnknown : frames;
}

// What the first packet of a stream says of its format.
struct FirstFormat {
    bool seen = false;
    int adtsHeader = -1; // an ADTS frame's rate index and channel configuration
};

// The rate index and channel configuration of an ADTS frame's header; -1
// when the packet does not start with one.
int adtsFormatOf(const AVPacket& packet)
{
    const std::uint8_t* data = packet.data;
    if (packet.size < 4 || data[0] != 0xFF || (data[1] & 0xF6) != 0xF0)
        return -1;
    return (data[2] >> 2 & 0x0F) << 3 | (data[2] & 0x01) << 2 | data[3] >> 6;
}

// Whether the stream's format may change at this packet: a new logical
// stream begins (a chained Ogg file, where new headers come with new
// metadata), the container says the parameters change, or an ADTS frame
// names another rate or channel layout than the first.
bool changesFormat(const MediaInput& input, const AVPacket& packet, FirstFormat& first)
{
    const bool adts = std::strcmp(input.format->iformat->name, "aac") == 0;
    if (!first.seen) {
        first.seen = true;
        first.adtsHeader = adts ? adtsFormatOf(packet) : -1;
        return false;
    }
    for (const auto type : {AV_PKT_DATA_NEW_EXTRADATA, AV_PKT_DATA_PARAM_CHANGE, AV_PKT_DATA_METADATA_UPDATE})
        if (av_packet_get_side_data(&packet, type, nullptr))
            return true;
    return adts && adtsFormatOf(packet) != first.adtsHeader;
}

// Demuxing without decoding: the packets' durations, less the encoder delay
// and padding the container reports. Only where timestamps can name single
// samples; kUnknown when a packet does not say how long it is.
std::int64_t countPacketFrames(MediaInput& input)
{
    const AVStream* stream = input.stream();
    const int rate = stream->codecpar->sample_rate;
    const AVRational timeBase = stream->time_base;
    if (timeBase.num <= 0 || static_cast<std::int64_t>(timeBase.num) * rate > timeBase.den)
        return kUnknown;

    PacketPtr packet(av_packet_alloc());
    if (!packet)
        return kUnknown;
    std::int64_t total = 0;         // in the stream's time base
    std::int64_t beforeZero = 0;    // in the stream's time base
    std::int64_t longest = 0;       // the longest packet before the last, in the stream's time base
    std::int64_t last = 0;          // the last packet, in the stream's time base
    std::int64_t skipStart = 0;     // in samples
    std::int64_t skipEnd = 0;       // in samples
    FirstFormat first;
    for (;;) {
        const int error = av_read_frame(input.format.get(), packet.get());
        if (error == AVERROR_EOF)
            break;
        if (error < 0)
            return kUnknown;
        if (packet->stream_index != input.streamIndex) {
            av_packet_unref(packet.get());
            continue;
        }
        // Timestamps count in the first format's samples; past a change only
        // decoding tells how long the rest plays.
        if (changesFormat(input, *packet, first)) {
            av_packet_unref(packet.get());
            return kUnknown;
        }
        if (packet->duration <= 0) {
            av_packet_unref(packet.get());
            return kUnknown;
        }
        total += packet->duration;
        longest = std::max(longest, last);
        last = packet->duration;
        if (packet->pts != AV_NOPTS_VALUE && packet->pts < 0)
            beforeZero += std::min(packet->duration, -packet->pts);
        std::size_t size = 0;
        if (const std::uint8_t* skip = av_packet_get_side_data(packet.get(), AV_PKT_DATA_SKIP_SAMPLES, &size);
            skip && size >= 8) {
            skipStart += AV_RL32(skip);
            skipEnd += AV_RL32(skip + 4);
        }
        av_packet_unref(packet.get());
    }
    // A codec whose frames all have one length decodes no more from the last
    // packet than from any other, whatever its container says: a file cut
    // without decoding may state a last packet that reaches the cut.
    if (stream->codecpar->frame_size > 0 && longest > 0 && last > longest)
        total -= last - longest;
    const AVRational perSample{1, rate};
    // The decoder drops what the container marks as delay, and what lies before
    // time zero; where both describe the same samples they count once.
    std::int64_t frames = av_rescale_q(total, timeBase, perSample) -
                          std::max(skipStart, av_rescale_q(beforeZero, timeBase, perSample));
    // Ogg already ends its last packet's duration at the final granule
    // position; its end trimming only tells the decoder. Elsewhere the padding
    // is still inside the durations.
    if (!isOneOf(input.format->iformat->name, {"ogg"}))
        frames -= skipEnd;
    return std::max<std::int64_t>(frames, 0);
}

// Whether a file of `fileBytes` bytes can hold `frames` frames of sound.
bool isPlausibleLength(std::int64_t frames, int rate, std::int64_t fileBytes)
{
    if (fileBytes < 0)
        return true; // nothing to go by
    const std::int64_t seconds = frames / rate;
    return seconds <= fileBytes / kLowestPlausibleBitsPerSecond * 8 + 1;
}

// Sub-units of 100 ns in which stretches at different rates are summed, so
// that their lengths are rounded to the timeline's unit once, at the end.
constexpr std::int64_t kSubUnits = 1000;

// The last resort, exact by definition: decode everything as the render
// does, and add up the time each stretch of one rate plays, since a stream
// may change its rate part-way.
MediaResult measureByDecoding(MediaInput& input, MediaTime& duration)
{
    const bool manualSkip = trimsEndUnreliably(input);
    if (const MediaResult opened = openDecoder(input, manualSkip); failed(opened))
        return opened;
    AudioDecoder decoder(input);
    std::int64_t subUnits = 0;
    std::int64_t stretchFrames = 0;
    int stretchRate = 0;
    bool rateChanged = false;
    const auto endStretch = [&] {
        if (stretchRate > 0)
            subUnits += av_rescale_rnd(stretchFrames, kUnitsPerSecond * kSubUnits, stretchRate, AV_ROUND_NEAR_INF);
        stretchFrames = 0;
    };
    const MediaResult decoded = decoder.decode([&](const AVFrame& frame) {
        if (frame.sample_rate != stretchRate) {
            endStretch();
            rateChanged = rateChanged || stretchRate > 0;
            stretchRate = frame.sample_rate;
        }
        stretchFrames += frame.nb_samples - (manualSkip ? std::min(leadingSkipOf(frame), frame.nb_samples) : 0);
        return result::kOk;
    });
    if (failed(decoded))
        return decoded;
    if (!rateChanged) {
        if (stretchFrames <= 0 || stretchRate <= 0)
            return result::kDecodeFailed;
        duration = av_rescale_rnd(stretchFrames, kUnitsPerSecond, stretchRate, AV_ROUND_NEAR_INF);
        return result::kOk;
    }
    endStretch();
    duration = av_rescale_rnd(subUnits, 1, kSubUnits, AV_ROUND_NEAR_INF);
    return duration > 0 ? result::kOk : result::kDecodeFailed;
}

// PCM says its width; a lossless codec, the width it was made from. Lossy
// sound holds no more than 16 bits' worth, whatever its decoder gives.
bool carriesMoreThan16Bits(const AVCodecParameters& parameters)
{
    if (const int pcmBits = av_get_bits_per_sample(parameters.codec_id);
        pcmBits > 0 && parameters.codec_id >= AV_CODEC_ID_FIRST_AUDIO && parameters.codec_id < AV_CODEC_ID_ADPCM_IMA_QT)
        return pcmBits > 16;
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(parameters.codec_id);
    if (!descriptor || !(descriptor->props & AV_CODEC_PROP_LOSSLESS) || (descriptor->props & AV_CODEC_PROP_LOSSY))
        return false;
    return std::max(parameters.bits_per_raw_sample, parameters.bits_per_coded_sample) > 16;
}

} // namespace

MediaResult measureDuration(const std::string& path, MediaTime& duration)
{
    // A PCM WAV says its length in its header: no demuxer needs to probe it,
    // which makes measuring a folder of WAV files nearly free.
    if (const PcmWavLayout layout = readPcmWavLayout(path); isPlainPcm(layout)) {
        const auto frames = static_cast<std::int64_t>(layout.dataBytes / static_cast<std::uint64_t>(layout.blockAlign));
        // One whose header claims no frames is valid and plays for no time at
        // all; one that claims frames it does not hold was cut short.
        if (frames > 0 || layout.claimedBytes < static_cast<std::uint64_t>(layout.blockAlign)) {
            duration = av_rescale_rnd(frames, kUnitsPerSecond, layout.sampleRate, AV_ROUND_NEAR_INF);
            return result::kOk;
        }
    }
    MediaInput input;
    if (const MediaResult opened = openMediaInput(path, input, false); failed(opened))
        return opened;
    const int rate = input.stream()->codecpar->sample_rate;

    std::int64_t frames = countPcmFrames(input);
    // An empty PCM file is valid, and plays for no time at all.
    if (frames == 0) {
        duration = 0;
        return result::kOk;
    }
    if (frames == kUnknown)
        frames = countPacketFrames(input);
    // Timestamps are only the file's word; where they promise more than its
    // size can hold, counting what decodes is the truth.
    if (frames != kUnknown && !isPlausibleLength(frames, rate, avio_size(input.format->pb)))
        frames = kUnknown;
    if (frames == kUnknown) {
        // Counting packets may have read part of the file: start afresh.
        MediaInput fresh;
        if (const MediaResult opened = openMediaInput(path, fresh, false); failed(opened))
            return opened;
        return measureByDecoding(fresh, duration);
    }
    if (frames <= 0)
        return result::kDecodeFailed;
    duration = av_rescale_rnd(frames, kUnitsPerSecond, rate, AV_ROUND_NEAR_INF);
    return result::kOk;
}

MediaResult measuredFormatOf(const std::string& path, SourceFormat& format, std::stop_token stop)
{
    if (const PcmWavLayout layout = readPcmWavLayout(path); isPlainPcm(layout)) {
        format.sampleRate = static_cast<int>(layout.sampleRate);
        format.channels = layout.channels;
        format.deep = layout.bitsPerSample > 16;
        return result::kOk;
    }
    MediaInput input;
    if (const MediaResult opened = openMediaInput(path, input, false, std::move(stop)); failed(opened))
        return opened;
    const AVCodecParameters& parameters = *input.stream()->codecpar;
    format.sampleRate = parameters.sample_rate;
    format.channels = parameters.ch_layout.nb_channels;
    format.deep = carriesMoreThan16Bits(parameters);
    return result::kOk;
}

MediaResult measuredRateOf(const std::string& path, int& rate, std::stop_token stop)
{
    if (const PcmWavLayout layout = readPcmWavLayout(path); isPlainPcm(layout)) {
        rate = static_cast<int>(layout.sampleRate);
        return result::kOk;
    }
    MediaInput input;
    if (const MediaResult opened = openMediaInput(path, input, false, std::move(stop)); failed(opened))
        return opened;
    rate = input.stream()->codecpar->sample_rate;
    return result::kOk;
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/support/test_media.h"

#include "media/ffmpeg.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <iterator>
#include <numbers>

#include <sys/stat.h>

namespace kestrine::testmedia {
namespace {

struct FormatTraits {
    const char* extension;
    const char* muxer;
    const char* audioEncoder;
    bool withVideo;
};

FormatTraits traitsOf(MediaFormat format)
{
    switch (format) {
    case MediaFormat::WavS16: return {".wav", "wav", "pcm_s16le", false};
    case MediaFormat::WavU8: return {".wav", "wav", "pcm_u8", false};
    case MediaFormat::WavS24: return {".wav", "wav", "pcm_s24le", false};
    case MediaFormat::WavS32: return {".wav", "wav", "pcm_s32le", false};
    case MediaFormat::WavFloat: return {".wav", "wav", "pcm_f32le", false};
    case MediaFormat::Mp3: return {".mp3", "mp3", "libmp3lame", false};
    case MediaFormat::Ogg: return {".ogg", "ogg", "libvorbis", false};
    case MediaFormat::M4a: return {".m4a", "ipod", "aac", false};
    case MediaFormat::Adts: return {".aac", "adts", "aac", false};
    case MediaFormat::Flac: return {".flac", "flac", "flac", false};
    case MediaFormat::AiffS16: return {".aiff", "aiff", "pcm_s16be", false};
    case MediaFormat::Opus: return {".opus", "opus", "libopus", false};
    case MediaFormat::Mp4WithVideo: return {".mp4", "mp4", "aac", true};
    case MediaFormat::MkvWithVideo: return {".mkv", "matroska", "libvorbis", true};
    }
    return {".bin", "", "", false};
}

std::string errorText(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

Generated failure(Status status, std::string message)
{
    Generated generated;
    generated.status = status;
    generated.message = std::move(message);
    return generated;
}

// Stores one value in [-1, 1] as sample format `format`, at `index` of a
// frame's buffers.
void storeSample(AVFrame& frame, AVSampleFormat format, int channels, int index, int channel,
                 double value)
{
    const bool planar = av_sample_fmt_is_planar(format);
    const int plane = planar ? channel : 0;
    const int slot = planar ? index : index * channels + channel;
    value = std::clamp(value, -1.0, 1.0);
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8:
        frame.extended_data[plane][slot] = static_cast<std::uint8_t>(std::lround(value * 127.0) + 128);
        break;
    case AV_SAMPLE_FMT_S16:
        reinterpret_cast<std::int16_t*>(frame.extended_data[plane])[slot] =
            static_cast<std::int16_t>(std::lround(value * 32767.0));
        break;
    case AV_SAMPLE_FMT_S32:
        reinterpret_cast<std::int32_t*>(frame.extended_data[plane])[slot] =
            static_cast<std::int32_t>(std::llround(value * 2147483647.0));
        break;
    case AV_SAMPLE_FMT_FLT:
        reinterpret_cast<float*>(frame.extended_data[plane])[slot] = static_cast<float>(value);
        break;
    case AV_SAMPLE_FMT_DBL:
        reinterpret_cast<double*>(frame.extended_data[plane])[slot] = value;
        break;
    default:
        break;
    }
}

class Encoder {
public:
    CodecContextPtr context;
    AVStream* stream = nullptr;
    std::int64_t nextPts = 0;
};

int writePackets(AVFormatContext& output, Encoder& encoder, AVFrame* frame)
{
    int error = avcodec_send_frame(encoder.context.get(), frame);
    if (error < 0)
        return error;
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        return AVERROR(ENOMEM);
    for (;;) {
        error = avcodec_receive_packet(encoder.context.get(), packet.get());
        if (error == AVERROR(EAGAIN) || error == AVERROR_EOF)
            return 0;
        if (error < 0)
            return error;
        av_packet_rescale_ts(packet.get(), encoder.context->time_base, encoder.stream->time_base);
        packet->stream_index = encoder.stream->index;
        error = av_interleaved_write_frame(&output, packet.get());
        if (error < 0)
            return error;
    }
}

int openEncoder(AVFormatContext& output, const AVCodec& codec, Encoder& encoder,
                const std::function<void(AVCodecContext&)>& configure)
{
    encoder.context.reset(avcodec_alloc_context3(&codec));
    if (!encoder.context)
        return AVERROR(ENOMEM);
    configure(*encoder.context);
    if (output.oformat->flags & AVFMT_GLOBALHEADER)
        encoder.context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    int error = avcodec_open2(encoder.context.get(), &codec, nullptr);
    if (error < 0)
        return error;
    encoder.stream = avformat_new_stream(&output, nullptr);
    if (!encoder.stream)
        return AVERROR(ENOMEM);
    encoder.stream->time_base = encoder.context->time_base;
    return avcodec_parameters_from_context(encoder.stream->codecpar, encoder.context.get());
}

// A small moving picture, so the file really has a video stream to skip.
int encodeVideoFrame(AVFormatContext& output, Encoder& video, AVFrame& picture)
{
    int error = av_frame_make_writable(&picture);
    if (error < 0)
        return error;
    const auto n = video.nextPts;
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            picture.data[0][y * picture.linesize[0] + x] = static_cast<std::uint8_t>(x + y + n * 3);
    for (int y = 0; y < picture.height / 2; ++y)
        for (int x = 0; x < picture.width / 2; ++x) {
            picture.data[1][y * picture.linesize[1] + x] = 128;
            picture.data[2][y * picture.linesize[2] + x] = static_cast<std::uint8_t>(64 + n);
        }
    picture.pts = video.nextPts++;
    return writePackets(output, video, &picture);
}

} // namespace

std::string extensionOf(MediaFormat format) { return traitsOf(format).extension; }

std::string nameOf(MediaFormat format)
{
    switch (format) {
    case MediaFormat::WavS16: return "WavS16";
    case MediaFormat::WavU8: return "WavU8";
    case MediaFormat::WavS24: return "WavS24";
    case MediaFormat::WavS32: return "WavS32";
    case MediaFormat::WavFloat: return "WavFloat";
    case MediaFormat::Mp3: return "Mp3";
    case MediaFormat::Ogg: return "Ogg";
    case MediaFormat::M4a: return "M4a";
    case MediaFormat::Adts: return "Adts";
    case MediaFormat::Flac: return "Flac";
    case MediaFormat::AiffS16: return "AiffS16";
    case MediaFormat::Opus: return "Opus";
    case MediaFormat::Mp4WithVideo: return "Mp4WithVideo";
    case MediaFormat::MkvWithVideo: return "MkvWithVideo";
    }
    return "Unknown";
}

namespace {

// Noise that is the same on every run: splitmix64 of the sample's place.
double noiseValue(const ToneSpec& tone, std::int64_t n, int channel)
{
    if (tone.noise == 0.0)
        return 0.0;
    std::uint64_t x = static_cast<std::uint64_t>(n) * 8 + static_cast<std::uint64_t>(channel) + 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    x ^= x >> 31;
    return tone.noise * (static_cast<double>(x >> 11) / 4503599627370496.0 - 1.0);
}

} // namespace

double toneValue(const ToneSpec& tone, std::int64_t n)
{
    // Phase from an exact integer product, so a split tone lines up to the bit.
    const std::int64_t sample = tone.firstSample + n;
    const double cycles = std::fmod(static_cast<double>(sample) * tone.frequency, tone.sampleRate);
    return tone.amplitude * std::sin(2.0 * std::numbers::pi * cycles / tone.sampleRate);
}

namespace {

std::function<void(AVCodecContext&)> pictureSetup()
{
    return [](AVCodecContext& context) {
        context.width = 64;
        context.height = 48;
        context.pix_fmt = AV_PIX_FMT_YUV420P;
        context.time_base = AVRational{1, 25};
        context.framerate = AVRational{25, 1};
        context.gop_size = 12;
        context.bit_rate = 100000;
    };
}

// A video with no sound track at all, `frames` samples at `rate` long.
Generated writePictureOnly(const std::string& path, AVFormatContext& output, const AVCodec& videoCodec,
                           std::int64_t frames, int rate)
{
    Encoder video;
    int error = openEncoder(output, videoCodec, video, pictureSetup());
    if (error < 0)
        return failure(Status::Failed, "cannot open mpeg4: " + errorText(error));
    if ((error = avio_open(&output.pb, path.c_str(), AVIO_FLAG_WRITE)) < 0)
        return failure(Status::Failed, "cannot create " + path + ": " + errorText(error));
    if ((error = avformat_write_header(&output, nullptr)) < 0)
        return failure(Status::Failed, "cannot write header: " + errorText(error));
    FramePtr picture(av_frame_alloc());
    if (!picture)
        return failure(Status::Failed, "out of memory");
    picture->format = video.context->pix_fmt;
    picture->width = video.context->width;
    picture->height = video.context->height;
    if ((error = av_frame_get_buffer(picture.get(), 0)) < 0)
        return failure(Status::Failed, "cannot allocate picture: " + errorText(error));
    while (av_compare_ts(video.nextPts, video.context->time_base, frames, AVRational{1, rate}) < 0)
        if ((error = encodeVideoFrame(output, video, *picture)) < 0)
            return failure(Status::Failed, "cannot encode video: " + errorText(error));
    if ((error = writePackets(output, video, nullptr)) < 0 || (error = av_write_trailer(&output)) < 0)
        return failure(Status::Failed, "cannot finish video: " + errorText(error));
    Generated generated;
    generated.status = Status::Ok;
    generated.path = path;
    return generated;
}

} // namespace

Generated writeTone(const std::string& folder, const std::string& baseName, MediaFormat format,
                    const ToneSpec& tone, const Tags& tags)
{
    const FormatTraits traits = traitsOf(format);
    const std::string path = folder + "/" + baseName + traits.extension;

    const AVOutputFormat* muxer = av_guess_format(traits.muxer, nullptr, nullptr);
    if (!muxer)
        return failure(Status::Unavailable, std::string("no muxer ") + traits.muxer);
    if (!tone.soundTrack && !traits.withVideo)
        return failure(Status::Failed, "a file without sound needs a picture");
    const AVCodec* audioCodec = avcodec_find_encoder_by_name(traits.audioEncoder);
    if (!audioCodec)
        return failure(Status::Unavailable, std::string("no encoder ") + traits.audioEncoder);
    const AVCodec* videoCodec = nullptr;
    if (traits.withVideo) {
        videoCodec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
        if (!videoCodec)
            return failure(Status::Unavailable, "no mpeg4 video encoder");
    }

    AVFormatContext* rawOutput = nullptr;
    int error = avformat_alloc_output_context2(&rawOutput, muxer, nullptr, path.c_str());
    OutputFormatPtr output(rawOutput);
    if (error < 0)
        return failure(Status::Failed, "cannot create output: " + errorText(error));

    const std::int64_t frames = tone.frames >= 0
                                    ? tone.frames
                                    : std::llround(tone.seconds * tone.sampleRate);
    Encoder audio;
    if (!tone.soundTrack)
        return writePictureOnly(path, *output, *videoCodec, frames, tone.sampleRate);
    error = openEncoder(*output, *audioCodec, audio, [&](AVCodecContext& context) {
        context.sample_fmt = audioCodec->sample_fmts ? audioCodec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
        if (format == MediaFormat::Flac && tone.flacBits == 24) {
            context.sample_fmt = AV_SAMPLE_FMT_S32;
            context.bits_per_raw_sample = 24;
        }
        context.sample_rate = tone.sampleRate;
        av_channel_layout_default(&context.ch_layout, tone.channels);
        context.time_base = AVRational{1, tone.sampleRate};
        if ((format == MediaFormat::Mp3 || format == MediaFormat::Ogg) && tone.variableBitRate) {
            context.flags |= AV_CODEC_FLAG_QSCALE;
            context.global_quality = FF_QP2LAMBDA * 4;
        } else if (format != MediaFormat::Flac && traits.muxer != std::string("wav") &&
                   traits.muxer != std::string("aiff")) {
            context.bit_rate = tone.bitRateKbps > 0 ? tone.bitRateKbps * 1000 : 64000 * tone.channels;
        }
    });
    if (error < 0)
        return failure(Status::Failed, std::string("cannot open ") + traits.audioEncoder + ": " +
                                           errorText(error));

    Encoder video;
    if (videoCodec) {
        error = openEncoder(*output, *videoCodec, video, pictureSetup());
        if (error < 0)
            return failure(Status::Failed, "cannot open mpeg4: " + errorText(error));
    }

    for (const auto& [key, value] : tags) {
        av_dict_set(&output->metadata, key.c_str(), value.c_str(), 0);
        // Ogg keeps its comments with the stream.
        av_dict_set(&audio.stream->metadata, key.c_str(), value.c_str(), 0);
    }
    error = avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (error < 0)
        return failure(Status::Failed, "cannot create " + path + ": " + errorText(error));
    AVDictionary* muxerOptions = nullptr;
    if (format == MediaFormat::Mp3 && !tone.frameIndex)
        av_dict_set(&muxerOptions, "write_xing", "0", 0);
    error = avformat_write_header(output.get(), &muxerOptions);
    av_dict_free(&muxerOptions);
    if (error < 0)
        return failure(Status::Failed, "cannot write header: " + errorText(error));

    AVCodecContext& audioContext = *audio.context;
    const bool anyFrameSize = audioContext.frame_size <= 0 ||
                              (audioCodec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
    const int chunk = anyFrameSize ? 1024 : audioContext.frame_size;
    FramePtr samples(av_frame_alloc());
    FramePtr picture(av_frame_alloc());
    if (!samples || !picture)
        return failure(Status::Failed, "out of memory");
    if (videoCodec) {
        picture->format = video.context->pix_fmt;
        picture->width = video.context->width;
        picture->height = video.context->height;
        if ((error = av_frame_get_buffer(picture.get(), 0)) < 0)
            return failure(Status::Failed, "cannot allocate picture: " + errorText(error));
    }

    std::int64_t written = 0;
    while (written < frames) {
        // Keep the video no further ahead than the sound, as a real file would.
        while (videoCodec && av_compare_ts(video.nextPts, video.context->time_base, written,
                                           audioContext.time_base) <= 0) {
            if ((error = encodeVideoFrame(*output, video, *picture)) < 0)
                return failure(Status::Failed, "cannot encode video: " + errorText(error));
        }
        const int count = static_cast<int>(std::min<std::int64_t>(chunk, frames - written));
        av_frame_unref(samples.get());
        samples->nb_samples = count;
        samples->format = audioContext.sample_fmt;
        samples->sample_rate = audioContext.sample_rate;
        if ((error = av_channel_layout_copy(&samples->ch_layout, &audioContext.ch_layout)) < 0 ||
            (error = av_frame_get_buffer(samples.get(), 0)) < 0)
            return failure(Status::Failed, "cannot allocate samples: " + errorText(error));
        for (int i = 0; i < count; ++i) {
            const double value = toneValue(tone, written + i);
            for (int channel = 0; channel < tone.channels; ++channel)
                storeSample(*samples, audioContext.sample_fmt, tone.channels, i, channel,
                            value + noiseValue(tone, written + i, channel));
        }
        samples->pts = written;
        if ((error = writePackets(*output, audio, samples.get())) < 0)
            return failure(Status::Failed, "cannot encode sound: " + errorText(error));
        written += count;
    }
    if ((error = writePackets(*output, audio, nullptr)) < 0)
        return failure(Status::Failed, "cannot flush sound: " + errorText(error));
    if (videoCodec && (error = writePackets(*output, video, nullptr)) < 0)
        return failure(Status::Failed, "cannot flush video: " + errorText(error));
    if ((error = av_write_trailer(output.get())) < 0)
        return failure(Status::Failed, "cannot write trailer: " + errorText(error));

    Generated generated;
    generated.status = Status::Ok;
    generated.path = path;
    generated.frames = written;
    return generated;
}

namespace {

struct OpenedAudio {
    InputFormatPtr input;
    CodecContextPtr decoder;
    int streamIndex = -1;
    std::string message;
};

OpenedAudio openAudio(const std::string& path)
{
    OpenedAudio opened;
    AVFormatContext* rawInput = nullptr;
    int error = avformat_open_input(&rawInput, path.c_str(), nullptr, nullptr);
    if (error < 0) {
        opened.message = "cannot open " + path + ": " + errorText(error);
        return opened;
    }
    opened.input.reset(rawInput);
    if ((error = avformat_find_stream_info(rawInput, nullptr)) < 0) {
        opened.message = "no stream info: " + errorText(error);
        return opened;
    }
    const AVCodec* codec = nullptr;
    error = av_find_best_stream(rawInput, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (error < 0) {
        opened.message = "no audio stream: " + errorText(error);
        return opened;
    }
    opened.streamIndex = error;
    opened.decoder.reset(avcodec_alloc_context3(codec));
    if (!opened.decoder) {
        opened.message = "out of memory";
        return opened;
    }
    if ((error = avcodec_parameters_to_context(opened.decoder.get(), rawInput->streams[opened.streamIndex]->codecpar)) < 0 ||
        (error = avcodec_open2(opened.decoder.get(), codec, nullptr)) < 0) {
        opened.message = "cannot open decoder: " + errorText(error);
        opened.decoder.reset();
        return opened;
    }
    return opened;
}

// Hands every decoded frame of the audio stream to `take`; the empty string on success.
template <typename Take>
std::string decodeAll(OpenedAudio& opened, Take take)
{
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    if (!packet || !frame)
        return "out of memory";
    bool draining = false;
    while (!draining) {
        int error = av_read_frame(opened.input.get(), packet.get());
        if (error == AVERROR_EOF) {
            draining = true;
            error = avcodec_send_packet(opened.decoder.get(), nullptr);
        } else if (error < 0) {
            return "read failed: " + errorText(error);
        } else if (packet->stream_index != opened.streamIndex) {
            av_packet_unref(packet.get());
            continue;
        } else {
            error = avcodec_send_packet(opened.decoder.get(), packet.get());
            av_packet_unref(packet.get());
        }
        if (error < 0 && error != AVERROR_EOF)
            return "decode failed: " + errorText(error);
        for (;;) {
            error = avcodec_receive_frame(opened.decoder.get(), frame.get());
            if (error == AVERROR(EAGAIN) || error == AVERROR_EOF)
                break;
            if (error < 0)
                return "decode failed: " + errorText(error);
            take(*frame);
            av_frame_unref(frame.get());
        }
    }
    return {};
}

} // namespace

WavData readWav(const std::string& path)
{
    WavData wav;
    OpenedAudio opened = openAudio(path);
    if (!opened.decoder) {
        wav.message = opened.message;
        return wav;
    }
    const AVStream* stream = opened.input->streams[opened.streamIndex];
    wav.container = opened.input->iformat->name;
    wav.sampleRate = stream->codecpar->sample_rate;
    wav.channels = stream->codecpar->ch_layout.nb_channels;
    wav.bitsPerSample = stream->codecpar->bits_per_coded_sample;
    wav.headerFrames = stream->duration;
    if (stream->codecpar->codec_id != AV_CODEC_ID_PCM_S16LE) {
        wav.message = "not 16-bit PCM";
        return wav;
    }
    wav.message = decodeAll(opened, [&](const AVFrame& frame) {
        const auto* data = reinterpret_cast<const std::int16_t*>(frame.extended_data[0]);
        wav.samples.insert(wav.samples.end(), data, data + frame.nb_samples * wav.channels);
    });
    wav.ok = wav.message.empty();
    return wav;
}

DecodedCount countDecodedFrames(const std::string& path)
{
    DecodedCount count;
    OpenedAudio opened = openAudio(path);
    if (!opened.decoder) {
        count.message = opened.message;
        return count;
    }
    count.sampleRate = opened.decoder->sample_rate;
    count.message = decodeAll(opened, [&](const AVFrame& frame) { count.frames += frame.nb_samples; });
    count.ok = count.message.empty();
    return count;
}

ResampledSound resampleWithFfmpeg(const std::string& path, int sampleRate, int channels)
{
    ResampledSound sound;
    OpenedAudio opened = openAudio(path);
    if (!opened.decoder) {
        sound.message = opened.message;
        return sound;
    }
    ResamplerPtr resampler;
    std::vector<std::uint8_t> converted;
    const auto convert = [&](const std::uint8_t** input, int frames) {
        const int capacity = std::max(swr_get_out_samples(resampler.get(), frames), 256);
        converted.resize(static_cast<std::size_t>(capacity) * static_cast<std::size_t>(channels) * 2);
        std::uint8_t* out = converted.data();
        const int count = swr_convert(resampler.get(), &out, capacity, input, frames);
        if (count > 0) {
            const auto* data = reinterpret_cast<const std::int16_t*>(converted.data());
            sound.samples.insert(sound.samples.end(), data, data + count * channels);
        }
        return count;
    };
    std::string failure;
    sound.message = decodeAll(opened, [&](const AVFrame& frame) {
        if (!failure.empty() || frame.nb_samples <= 0)
            return;
        if (!resampler) {
            AVChannelLayout in{};
            if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
                av_channel_layout_default(&in, frame.ch_layout.nb_channels);
            else
                av_channel_layout_copy(&in, &frame.ch_layout);
            AVChannelLayout out{};
            av_channel_layout_default(&out, channels);
            SwrContext* raw = nullptr;
            int error = swr_alloc_set_opts2(&raw, &out, AV_SAMPLE_FMT_S16, sampleRate, &in,
                                            static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0,
                                            nullptr);
            resampler.reset(raw);
            const int inChannels = in.nb_channels;
            av_channel_layout_uninit(&in);
            if (error >= 0 && inChannels == 1 && channels == 2) {
                const double toBoth[2] = {1.0, 1.0};
                error = swr_set_matrix(resampler.get(), toBoth, 1);
            }
            if (error >= 0)
                error = swr_init(resampler.get());
            if (error < 0) {
                failure = "cannot make the resampler: " + errorText(error);
                return;
            }
        }
        if (convert(const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples) < 0)
            failure = "conversion failed";
    });
    if (sound.message.empty())
        sound.message = failure;
    while (sound.message.empty() && resampler && convert(nullptr, 0) > 0) {
    }
    sound.ok = sound.message.empty();
    return sound;
}

Generated writeUnjoinableFiles(const std::string& folder, UnjoinableFiles& files)
{
    files.missing = folder + "/gone.mp3";
    ToneSpec shortTone;
    shortTone.frames = 4410;
    const Generated locked = writeTone(folder, "locked", MediaFormat::WavS16, shortTone);
    if (!locked)
        return locked;
    if (::chmod(locked.path.c_str(), S_IWUSR) != 0)
        return failure(Status::Failed, "cannot take the read permission from " + locked.path);
    files.unreadable = locked.path;
    files.text = folder + "/notes.mp3";
    if (!writeBytes(files.text, std::string(4000, 'x') + "\nplain words, not sound\n"))
        return failure(Status::Failed, "cannot write " + files.text);
    ToneSpec pictureOnly;
    pictureOnly.soundTrack = false;
    const Generated video = writeTone(folder, "silent", MediaFormat::Mp4WithVideo, pictureOnly);
    files.silentVideo = video.path;
    return video;
}

bool writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

std::string readBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

} // namespace kestrine::testmedia

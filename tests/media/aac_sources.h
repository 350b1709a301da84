// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/ffmpeg.h"
#include "tests/media/mp3_sources.h"
#include "tests/support/run_tool.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <vector>

// AAC-LC sources in M4A as users have them, made by the ffmpeg program and
// FFmpeg's own MP4 muxer, never by Kestrine's writer. The sound is the
// chirp of mp3_sources.h. Two kinds: files encoded one by one from
// stretches of the chirp, and the parts of one encoding of the whole chirp
// cut apart by copying its access units, each with an edit list that trims
// it to its stretch, as a cutting tool that copies makes them.
namespace kestrine::testing {

struct AacSourceSpec {
    int sampleRate = 44100;
    int channels = 2;
    int bitRateKbps = 128;
    // FFmpeg's encoder stands in noise for some bands by default, which its
    // decoder draws from one sequence of random numbers over the whole
    // stream: a copied unit of such a band decodes to other noise after
    // other units than in its own file.
    bool noiseSubstitution = false;
};

// FFmpeg's AAC encoder primes its stream with this many samples.
inline constexpr std::int64_t kFfmpegAacPriming = 1024;

// Samples [first, end) of the chirp, encoded on their own into `path`,
// whose extension chooses the container (.m4a, .aac for ADTS); `extra`
// goes to ffmpeg before the output. The edit list counts in samples, so
// that it states the length exactly. An empty message when ffmpeg made it.
inline std::string writeAacChirp(const std::string& path, const AacSourceSpec& spec, std::int64_t first,
                                  std::int64_t end, const QStringList& extra = {})
{
    const double seconds = static_cast<double>(end) / spec.sampleRate + 1.0;
    QStringList arguments{"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                          chirpSource(spec.sampleRate, spec.channels, seconds), "-af",
                          QString("atrim=start_sample=%1:end_sample=%2,asetpts=N/SR/TB").arg(first).arg(end), "-c:a", "aac", "-b:a",
                          QString("%1k").arg(spec.bitRateKbps)};
    if (!path.ends_with(".aac"))
        arguments << "-movie_timescale" << QString::number(spec.sampleRate);
    arguments << "-aac_pns" << (spec.noiseSubstitution ? "1" : "0") << extra << QString::fromStdString(path);
    const Tool tool = runTool("ffmpeg", arguments);
    if (tool.exitCode != 0)
        return "ffmpeg could not make " + path + ": " + tool.err.toStdString();
    return {};
}

// Samples [first, end) of the M4A at `whole`, which ffmpeg encoded with its
// own priming, as a file of its own at `path`: the access units that play
// them and the one before (whose overlap the first needs), copied by
// FFmpeg's MP4 muxer, which states the part's priming and length in its
// edit list from the packets' timestamps. An empty message when made.
inline std::string cutAacPart(const std::string& whole, const std::string& path, std::int64_t first, std::int64_t end)
{
    AVFormatContext* rawInput = nullptr;
    AVDictionary* inputOptions = nullptr;
    av_dict_set(&inputOptions, "ignore_editlist", "1", 0);
    const int opened = avformat_open_input(&rawInput, whole.c_str(), nullptr, &inputOptions);
    av_dict_free(&inputOptions);
    if (opened < 0)
        return "cannot open " + whole;
    InputFormatPtr input(rawInput);
    if (avformat_find_stream_info(input.get(), nullptr) < 0 || input->nb_streams != 1)
        return "cannot read " + whole;
    const AVStream* from = input->streams[0];
    const int rate = from->codecpar->sample_rate;
    const std::int64_t startRaw = first + kFfmpegAacPriming;
    const std::int64_t endRaw = end + kFfmpegAacPriming;
    const std::int64_t firstUnit = std::max<std::int64_t>(startRaw / 1024 - 1, 0);
    const std::int64_t endUnit = (endRaw + 1023) / 1024;

    AVFormatContext* rawOutput = nullptr;
    if (avformat_alloc_output_context2(&rawOutput, nullptr, "ipod", path.c_str()) < 0)
        return "cannot make " + path;
    OutputFormatPtr output(rawOutput);
    AVStream* to = avformat_new_stream(output.get(), nullptr);
    if (!to || avcodec_parameters_copy(to->codecpar, from->codecpar) < 0)
        return "cannot describe " + path;
    to->time_base = AVRational{1, rate};
    if (avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE) < 0)
        return "cannot write " + path;
    AVDictionary* outputOptions = nullptr;
    av_dict_set_int(&outputOptions, "movie_timescale", rate, 0);
    const int started = avformat_write_header(output.get(), &outputOptions);
    av_dict_free(&outputOptions);
    if (started < 0)
        return "cannot start " + path;
    PacketPtr packet(av_packet_alloc());
    for (std::int64_t unit = 0; av_read_frame(input.get(), packet.get()) >= 0; ++unit) {
        if (unit >= firstUnit && unit < endUnit) {
            packet->stream_index = 0;
            packet->pts = packet->dts = unit * 1024 - startRaw;
            packet->duration = unit + 1 == endUnit ? endRaw - unit * 1024 : 1024;
            packet->pos = -1;
            if (av_write_frame(output.get(), packet.get()) < 0)
                return "cannot write a packet to " + path;
        }
        av_packet_unref(packet.get());
    }
    if (av_write_trailer(output.get()) < 0)
        return "cannot end " + path;
    return {};
}

// The access units of an MP4 file's sound, each as its bytes.
inline std::vector<std::string> unitsOf(const std::string& path)
{
    std::vector<std::string> units;
    AVFormatContext* raw = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "ignore_editlist", "1", 0);
    const int opened = avformat_open_input(&raw, path.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        return units;
    InputFormatPtr input(raw);
    PacketPtr packet(av_packet_alloc());
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        if (input->streams[packet->stream_index]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            units.emplace_back(reinterpret_cast<const char*>(packet->data), static_cast<std::size_t>(packet->size));
        av_packet_unref(packet.get());
    }
    return units;
}

// ffprobe's length of a file's sound, in its stream's time base.
inline std::int64_t statedFrames(const std::string& path)
{
    const Tool tool = runTool("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                          "stream=duration_ts", "-of", "csv=p=0", QString::fromStdString(path)});
    bool ok = false;
    const std::int64_t frames = tool.out.trimmed().toLongLong(&ok);
    return ok ? frames : -1;
}

} // namespace kestrine::testing

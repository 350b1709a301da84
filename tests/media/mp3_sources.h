// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "tests/support/run_tool.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// MP3 sources as users have them: LAME through the ffmpeg program, which
// writes the Xing/Info frame with its LAME tag. The sound is a chirp, whose
// frequency never repeats, so that a sample out of place cannot pass for
// the right one; a stretch of it is cut at sample boundaries of the caller's
// choice, so that consecutive stretches join back into the whole chirp.
namespace kestrine::testing {

struct Mp3SourceSpec {
    int sampleRate = 44100;
    int channels = 2;
    int bitRateKbps = 128; // constant; 0 for VBR at quality 4
    bool infoTag = true;   // false: no Xing/Info frame, so no delay or padding known
    bool noise = false;    // pink noise over the chirp: frames that borrow much from the reservoir
};

// The chirp's own description for ffmpeg: each channel sweeps differently.
inline QString chirpSource(int sampleRate, int channels, double seconds, bool noise = false)
{
    if (noise)
        return QString("aevalsrc='0.3*sin(2*PI*(150+300*t)*t)+0.3*(random(0)-0.5)%1':s=%2:d=%3")
            .arg(channels == 2 ? "|0.3*sin(2*PI*(900-100*t)*t)+0.3*(random(1)-0.5)" : "")
            .arg(sampleRate)
            .arg(seconds);
    const QString left = "0.5*sin(2*PI*(150+300*t)*t)";
    const QString right = "0.4*sin(2*PI*(900-100*t)*t+1)";
    return QString("aevalsrc='%1%2':s=%3:d=%4")
        .arg(left, channels == 2 ? "|" + right : QString())
        .arg(sampleRate)
        .arg(seconds);
}

// Samples [first, end) of the chirp as an MP3 at `path`; an empty message
// when ffmpeg made it.
inline std::string writeMp3Chirp(const std::string& path, const Mp3SourceSpec& spec, std::int64_t first,
                                 std::int64_t end)
{
    const double seconds = static_cast<double>(end) / spec.sampleRate + 1.0;
    QStringList arguments{"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                          chirpSource(spec.sampleRate, spec.channels, seconds, spec.noise), "-af",
                          QString("atrim=start_sample=%1:end_sample=%2").arg(first).arg(end), "-c:a", "libmp3lame"};
    if (spec.bitRateKbps > 0)
        arguments << "-b:a" << QString("%1k").arg(spec.bitRateKbps);
    else
        arguments << "-q:a" << "4";
    if (!spec.infoTag)
        arguments << "-write_xing" << "0";
    arguments << QString::fromStdString(path);
    const Tool tool = runTool("ffmpeg", arguments);
    if (tool.exitCode != 0)
        return "ffmpeg could not make " + path + ": " + tool.err.toStdString();
    return {};
}

struct Decoded {
    std::string warnings;
    std::vector<float> samples; // interleaved
};

// ffmpeg's own decoding of a file, as float, with whatever it warns about.
inline Decoded decodeWithFfmpeg(const std::string& path)
{
    const Tool tool = runTool("ffmpeg", {"-nostdin", "-v", "warning", "-i", QString::fromStdString(path), "-f", "f32le",
                                         "-"});
    Decoded decoded;
    decoded.warnings = tool.exitCode == 0 ? tool.err.toStdString() : "ffmpeg failed: " + tool.err.toStdString();
    decoded.samples.resize(static_cast<std::size_t>(tool.out.size()) / sizeof(float));
    std::memcpy(decoded.samples.data(), tool.out.constData(), decoded.samples.size() * sizeof(float));
    return decoded;
}

} // namespace kestrine::testing

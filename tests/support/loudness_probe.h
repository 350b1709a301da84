// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "tests/support/run_tool.h"

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

// Loudness as another program sees it: FFmpeg's ebur128 filter, and the
// pink noise the loudness tests join, made by FFmpeg's noise source.
namespace kestrine::testing {

struct MeasuredLoudness {
    bool ok = false;
    double integrated = 0.0; // LUFS; -70 (the filter's floor) for silence
    double truePeak = 0.0;   // dBTP
};

// FFmpeg's own measure of [start, start + seconds) of a file, or of all of it.
inline MeasuredLoudness ebur128Of(const std::string& path, double start = 0.0, double seconds = -1.0)
{
    QString filter = QStringLiteral("ebur128=peak=true");
    if (seconds > 0)
        filter = QStringLiteral("atrim=start=%1:duration=%2,%3").arg(start).arg(seconds).arg(filter);
    const Tool tool = runTool(QStringLiteral("ffmpeg"), {"-hide_banner", "-nostats", "-i", QString::fromStdString(path),
                                                         "-af", filter, "-f", "null", "-"});
    MeasuredLoudness measured;
    const QString text = QString::fromUtf8(tool.err);
    const auto integrated = QRegularExpression(QStringLiteral("I:\\s+(-?[0-9.]+|-inf) LUFS\\s+Threshold")).match(text);
    const auto peak = QRegularExpression(QStringLiteral("Peak:\\s+(-?[0-9.]+|-inf) dBFS")).match(text);
    if (tool.exitCode != 0 || !integrated.hasMatch() || !peak.hasMatch())
        return measured;
    const auto number = [](const QString& value) {
        return value == QStringLiteral("-inf") ? -std::numeric_limits<double>::infinity() : value.toDouble();
    };
    measured.ok = true;
    measured.integrated = number(integrated.captured(1));
    measured.truePeak = number(peak.captured(1));
    return measured;
}

// Stereo pink noise at 44,100 Hz, 16-bit WAV (or `extension`'s format),
// turned by `decibels` from the noise source's full level (about -15 LUFS).
// A volume of -200 dB gives digital silence. Empty on failure.
inline std::string writePinkNoise(const std::string& folder, const std::string& name, double decibels,
                                  double seconds, int seed, const std::string& extension = "wav")
{
    const std::string path = folder + "/" + name + "." + extension;
    const QString source = QStringLiteral("anoisesrc=color=pink:sample_rate=44100:duration=%1:seed=%2").arg(seconds).arg(seed);
    const QString volume = decibels <= -200 ? QStringLiteral("volume=0") : QStringLiteral("volume=%1dB").arg(decibels);
    const Tool tool = runTool(QStringLiteral("ffmpeg"),
                              {"-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i", source, "-af", volume,
                               "-ac", "2", QString::fromStdString(path)});
    return tool.exitCode == 0 ? path : std::string();
}

} // namespace kestrine::testing

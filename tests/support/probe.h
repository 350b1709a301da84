// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "tests/support/run_tool.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <string>

namespace kestrine::testmedia {

// What ffprobe, a reader that is not ours, sees in a file: its format with
// its tags, its streams (an attached cover among them) and its chapters.
// Empty when ffprobe cannot read it.
inline QJsonObject probeFile(const std::string& path)
{
    const testing::Tool probe = testing::runTool(
        QStringLiteral("ffprobe"),
        {"-v", "error", "-of", "json", "-show_format", "-show_streams", "-show_chapters", QString::fromStdString(path)},
        60'000);
    if (probe.exitCode != 0)
        return {};
    return QJsonDocument::fromJson(probe.out).object();
}

} // namespace kestrine::testmedia

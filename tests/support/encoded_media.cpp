// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/support/encoded_media.h"

#include "media/ffmpeg.h"
#include "tests/support/run_tool.h"
#include "tests/support/test_media.h"

#include <QFile>
#include <gtest/gtest.h>

namespace kestrine::testmedia {
namespace {

struct Opened {
    InputFormatPtr input;
    std::string message;
};

Opened openFile(const std::string& path)
{
    Opened opened;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        opened.message = "cannot open " + path;
        return opened;
    }
    opened.input.reset(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0)
        opened.message = "no stream info in " + path;
    return opened;
}

} // namespace

std::int64_t playedFrames(const std::string& path, Encoding encoding)
{
    const DecodedCount decoded = countDecodedFrames(path);
    EXPECT_TRUE(decoded.ok) << decoded.message;
    if (!decoded.ok)
        return -1;
    if (encoding != Encoding::M4a && encoding != Encoding::M4b)
        return decoded.frames;
    const Opened opened = openFile(path);
    EXPECT_TRUE(opened.message.empty()) << opened.message;
    if (!opened.input || opened.input->nb_streams < 1)
        return -1;
    const AVStream& stream = *opened.input->streams[0];
    const std::int64_t stated =
        av_rescale_q(stream.duration, stream.time_base, AVRational{1, decoded.sampleRate});
    EXPECT_GE(decoded.frames, stated);
    EXPECT_LT(decoded.frames, stated + 1024)
        << "more than the last AAC frame is decoded past the edit list";
    return stated;
}

std::string codecOf(const std::string& path)
{
    const Opened opened = openFile(path);
    if (!opened.input || opened.input->nb_streams < 1)
        return {};
    return avcodec_get_name(opened.input->streams[0]->codecpar->codec_id);
}

std::vector<Chapter> chaptersOf(const std::string& path)
{
    std::vector<Chapter> chapters;
    const Opened opened = openFile(path);
    EXPECT_TRUE(opened.message.empty()) << opened.message;
    if (!opened.input)
        return chapters;
    for (unsigned i = 0; i < opened.input->nb_chapters; ++i) {
        const AVChapter& chapter = *opened.input->chapters[i];
        const AVDictionaryEntry* title = av_dict_get(chapter.metadata, "title", nullptr, 0);
        chapters.push_back({av_rescale_q_rnd(chapter.start, chapter.time_base, AVRational{1, 1000},
                                             AV_ROUND_NEAR_INF),
                            av_rescale_q_rnd(chapter.end, chapter.time_base, AVRational{1, 1000},
                                             AV_ROUND_NEAR_INF),
                            title ? title->value : ""});
    }
    return chapters;
}

std::string flacTestFailure(const std::string& path)
{
    const testing::Tool flac = testing::runTool(
        QStringLiteral("flac"), {QStringLiteral("-t"), QStringLiteral("-s"), QFile::decodeName(QByteArray::fromStdString(path))});
    if (flac.exitCode == 0)
        return {};
    if (flac.exitCode < 0)
        return "flac -t did not run to its end within two minutes (is the Debian package flac installed?)";
    return "flac -t " + path + ": " + flac.err.toStdString();
}

} // namespace kestrine::testmedia

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/audio_encoder.h"
#include "media/writing/mp4_writer.h"
#include "tests/support/mp4_boxes.h"
#include "tests/support/run_tool.h"
#include "tests/support/test_media.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <optional>

// M4A files as other programs see them: ffprobe's lengths and chapters,
// ffmpeg's decoding, and the boxes themselves.
namespace kestrine::testing {
namespace {

using testmedia::bigEndian;
using testmedia::Box;
using testmedia::bytesOf;
using testmedia::childOf;
using testmedia::topLevelBoxes;

constexpr int kRate = 44100;
constexpr double kToneHz = 1000.0;

bool isUtf8(const std::string& text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >> 5 == 6 ? 2 : lead >> 4 == 14 ? 3 : lead >> 3 == 30 ? 4 : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k)
            if ((static_cast<std::uint8_t>(text[i + k]) & 0xc0) != 0x80)
                return false;
        i += length;
    }
    return true;
}

struct Probed {
    bool ok = false;
    std::string message;
    int streams = 0;
    std::int64_t soundFrames = -1; // the sound stream's duration_ts, at 1/44100
    std::string soundTimeBase;
    struct Chapter {
        std::int64_t start;
        std::int64_t end;
        std::string timeBase;
        std::string title;
    };
    std::vector<Chapter> chapters;
};

Probed probe(const std::string& path)
{
    Probed probed;
    const Tool tool = runTool("ffprobe", {"-v", "error", "-show_streams", "-show_chapters", "-of",
                                          "json", QString::fromStdString(path)});
    if (tool.exitCode != 0) {
        probed.message = "ffprobe refuses it: " + tool.err.toStdString();
        return probed;
    }
    const QJsonObject root = QJsonDocument::fromJson(tool.out).object();
    const QJsonArray streams = root["streams"].toArray();
    probed.streams = static_cast<int>(streams.size());
    for (const QJsonValue& stream : streams)
        if (stream["codec_type"].toString() == "audio") {
            probed.soundFrames = stream["duration_ts"].toInteger(-1);
            probed.soundTimeBase = stream["time_base"].toString().toStdString();
        }
    for (const QJsonValue& chapter : root["chapters"].toArray())
        probed.chapters.push_back({chapter["start"].toInteger(), chapter["end"].toInteger(),
                                   chapter["time_base"].toString().toStdString(),
                                   chapter["tags"]["title"].toString().toStdString()});
    probed.ok = true;
    return probed;
}

// ffmpeg's own decoding, which must pass without a word.
struct Decoded {
    std::string warnings;
    std::vector<std::int16_t> samples; // stereo interleaved
    std::int64_t frames() const { return static_cast<std::int64_t>(samples.size() / 2); }
};

Decoded decodeWithFfmpeg(const std::string& path)
{
    const Tool tool = runTool("ffmpeg", {"-nostdin", "-v", "warning", "-i", QString::fromStdString(path),
                                         "-f", "s16le", "-ac", "2", "-"});
    Decoded decoded;
    decoded.warnings = tool.exitCode == 0 ? tool.err.toStdString()
                                          : "ffmpeg failed: " + tool.err.toStdString();
    decoded.samples.resize(static_cast<std::size_t>(tool.out.size()) / sizeof(std::int16_t));
    std::memcpy(decoded.samples.data(), tool.out.constData(), decoded.samples.size() * sizeof(std::int16_t));
    return decoded;
}

// Zero crossings per second of the left channel over [first, end).
double frequencyOf(const Decoded& decoded, std::int64_t first, std::int64_t end)
{
    int crossings = 0;
    for (std::int64_t n = first + 1; n < end; ++n)
        if ((decoded.samples[static_cast<std::size_t>(2 * n - 2)] < 0) !=
            (decoded.samples[static_cast<std::size_t>(2 * n)] < 0))
            ++crossings;
    return crossings / 2.0 * kRate / static_cast<double>(end - first);
}

class Mp4WriterTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }
    std::string pathOf(const std::string& name) const { return folder.path().toStdString() + "/" + name; }

    // A 1 kHz tone of `frames` frames, encoded as a join's encoder does,
    // into a file of the writer's; without `finished`, the file is left
    // as a killed join leaves it.
    void writeTone(const std::string& path, const std::vector<Marker>& markers, std::int64_t frames,
                   std::uint64_t hole = 0, bool finished = true)
    {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        Mp4Writer writer(fd, markers);
        OutputFormat format;
        format.encoding = Encoding::M4a;
        format.sampleRate = kRate;
        std::unique_ptr<AudioEncoder> encoder;
        ASSERT_EQ(AudioEncoder::open(format, writer.encoderSetup(), writer.wantsGlobalHeader(),
                                     [&writer](AVPacket& packet) { return writer.writePacket(packet); },
                                     encoder),
                  result::kOk);
        ASSERT_EQ(writer.writeHeader(&encoder->context()), result::kOk);
        if (hole > 0)
            writer.skipForTesting(hole);
        testmedia::ToneSpec tone;
        tone.frequency = kToneHz;
        const int frameSize = encoder->frameSize();
        std::vector<std::int16_t> block(static_cast<std::size_t>(frameSize) * 2);
        for (std::int64_t at = 0; at < frames; at += frameSize) {
            const int count = static_cast<int>(std::min<std::int64_t>(frameSize, frames - at));
            for (int i = 0; i < count; ++i)
                block[2 * static_cast<std::size_t>(i)] = block[2 * static_cast<std::size_t>(i) + 1] =
                    static_cast<std::int16_t>(testmedia::toneValue(tone, at + i) * 32767);
            ASSERT_EQ(encoder->encode(reinterpret_cast<const std::uint8_t*>(block.data()), count), result::kOk);
        }
        ASSERT_EQ(encoder->flush(), result::kOk);
        if (finished) {
            ASSERT_EQ(writer.finish(&encoder->context(), frames), result::kOk);
        }
        ::close(fd);
    }

    QTemporaryDir folder;
};

struct Written {
    const char* name;
    std::int64_t frames;
    std::vector<Marker> markers; // as planned: a stopped join reaches some only
    std::size_t chaptersKept;
    std::uint64_t hole = 0;
};

void PrintTo(const Written& written, std::ostream* out)
{
    *out << written.name;
}

std::vector<Marker> manyMarkers()
{
    std::vector<Marker> markers;
    for (int i = 0; i < 300; ++i) {
        std::string title = "chapter " + std::to_string(i);
        if (i % 100 == 17) // longer than a chpl title may be, cut inside a character
            for (int k = 0; k < 130; ++k)
                title += "\xc3\xa9";
        markers.push_back({std::int64_t{i} * 300 + (i > 0 ? 11 : 0), title});
    }
    return markers;
}

const Written kWritten[] = {
    {"Chapters", 3 * kRate + 777, {{0, "first.wav"}, {52'919, "second \xe2\x80\x93 \xc2\xbd.mp3"}, {100'001, "third.ogg"}}, 3},
    {"NoMarkers", kRate + 123, {}, 0},
    // The third starts exactly where the sound ends: it was not reached.
    {"StoppedEarly", 2 * kRate + 5, {{0, "a.wav"}, {kRate, "b.wav"}, {2 * kRate + 5, "c.wav"}, {3 * kRate, "d.wav"}}, 2},
    {"ManyChapters", 300 * 300 + 4000, manyMarkers(), 300},
    {"Past4GiB", 2 * kRate + 1, {{0, "a.wav"}, {kRate + 17, "b.wav"}}, 2, (std::uint64_t{9} << 29)},
};

class Mp4Written : public Mp4WriterTest, public ::testing::WithParamInterface<Written> {};

// ffprobe gives the exact length and every chapter at its sample, ffmpeg
// decodes the tone without a warning, and the index is where it belongs.
TEST_P(Mp4Written, OtherProgramsReadTheExactJoin)
{
    const Written& written = GetParam();
    const std::string path = pathOf("join.m4a");
    writeTone(path, written.markers, written.frames, written.hole);

    const Probed probed = probe(path);
    ASSERT_TRUE(probed.ok) << probed.message;
    EXPECT_EQ(probed.soundTimeBase, "1/44100");
    EXPECT_EQ(probed.soundFrames, written.frames);
    EXPECT_EQ(probed.streams, written.chaptersKept > 0 ? 2 : 1) << "a chapter track, only with chapters";
    ASSERT_EQ(probed.chapters.size(), written.chaptersKept);
    for (std::size_t i = 0; i < probed.chapters.size(); ++i) {
        SCOPED_TRACE("chapter " + std::to_string(i));
        EXPECT_EQ(probed.chapters[i].timeBase, "1/44100");
        EXPECT_EQ(probed.chapters[i].start, written.markers[i].frame);
        EXPECT_EQ(probed.chapters[i].end,
                  i + 1 < written.chaptersKept ? written.markers[i + 1].frame : written.frames);
        EXPECT_EQ(probed.chapters[i].title, written.markers[i].label);
    }

    const Decoded decoded = decodeWithFfmpeg(path);
    EXPECT_EQ(decoded.warnings.substr(0, 600), "");
    EXPECT_GE(decoded.frames(), written.frames);
    EXPECT_LT(decoded.frames(), written.frames + 1024);
    if (decoded.frames() >= written.frames) {
        EXPECT_NEAR(frequencyOf(decoded, 0, kRate / 2), kToneHz, 5);
        EXPECT_NEAR(frequencyOf(decoded, written.frames - kRate / 2, written.frames), kToneHz, 5);
    }

    // The sound, then its index; the mdat's size reaches the moov exactly.
    const std::vector<Box> boxes = topLevelBoxes(path);
    ASSERT_GE(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].type, "ftyp");
    EXPECT_EQ(boxes.back().type, "moov");
    const Box& mdat = boxes[boxes.size() - 2];
    EXPECT_EQ(mdat.type, "mdat");
    EXPECT_EQ(mdat.at + mdat.size, boxes.back().at);
    const bool large = written.hole > 0;
    EXPECT_EQ(mdat.headerBytes, large ? 16 : 8);
    const std::string moov = bytesOf(path, boxes.back());
    EXPECT_TRUE(childOf(moov, large ? "trak/mdia/minf/stbl/co64" : "trak/mdia/minf/stbl/stco"))
        << "the chunk offsets are not " << (large ? "64" : "32") << "-bit";

    // Nero chapters for the players that read those: one byte counts them,
    // and a title is at most 255 bytes, cut between characters.
    const std::optional<std::string> chpl = childOf(moov, "udta/chpl");
    ASSERT_EQ(chpl.has_value(), written.chaptersKept > 0);
    if (chpl) {
        const std::size_t count = static_cast<std::uint8_t>((*chpl)[8]);
        EXPECT_EQ(count, std::min<std::size_t>(written.chaptersKept, 255));
        std::size_t at = 9;
        for (std::size_t i = 0; i < count && at + 9 <= chpl->size(); ++i) {
            const std::string title = chpl->substr(at + 9, static_cast<std::uint8_t>((*chpl)[at + 8]));
            EXPECT_EQ(bigEndian(*chpl, at, 8),
                      static_cast<std::uint64_t>(av_rescale_rnd(written.markers[i].frame, 10'000'000,
                                                                kRate, AV_ROUND_NEAR_INF)));
            EXPECT_TRUE(isUtf8(title)) << "chpl title " << i;
            EXPECT_EQ(written.markers[i].label.compare(0, title.size(), title), 0) << "chpl title " << i;
            EXPECT_GE(title.size(), std::min<std::size_t>(written.markers[i].label.size(), 254));
            at += 9 + title.size();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, Mp4Written, ::testing::ValuesIn(kWritten),
                         [](const auto& tested) { return std::string(tested.param.name); });

// Cut short before its end, the file holds the sound and no index: no
// reader takes it for a finished file.
TEST_F(Mp4WriterTest, AFileCutShortHasNoIndexAndNoReaderTakesIt)
{
    const std::string path = pathOf("killed.m4a");
    writeTone(path, {{0, "a.wav"}, {kRate, "b.wav"}}, 15 * kRate, 0, false);
    const std::vector<Box> boxes = topLevelBoxes(path);
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes[0].type, "ftyp");
    EXPECT_EQ(boxes.back().type, "mdat");
    EXPECT_EQ(boxes.back().at + boxes.back().size, testmedia::readBytes(path).size())
        << "the mdat does not run to the end of the file";
    EXPECT_GT(boxes.back().size, 100'000u) << "the sound was not written as it came";
    for (const Box& box : boxes)
        EXPECT_NE(box.type, "moov");
    EXPECT_FALSE(probe(path).ok) << "ffprobe reads a file that has no index";
}

} // namespace
} // namespace kestrine::testing

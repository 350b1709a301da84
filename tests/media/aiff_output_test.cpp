// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/markers.h"
#include "media/writing/aiff_writer.h"
#include "tests/media/media_fixture.h"
#include "tests/support/encoded_media.h"
#include "tests/support/probe.h"
#include "tests/support/run_tool.h"

#include <QJsonArray>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <thread>

// Outputs named .aif or .aiff: AIFF, big-endian PCM, the same sound as WAV.
namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;
using testmedia::ToneSpec;

std::uint64_t bigEndian(const std::string& bytes, std::size_t at, int count)
{
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

// The markers of an AIFF file's MARK chunk, and the frames its COMM chunk claims.
struct AiffChunks {
    std::int64_t frames = -1;
    int bits = 0;
    std::vector<Marker> markers;
    std::vector<std::string> ids;             // in file order
    std::map<std::string, std::string> bodies; // every chunk's but SSND's, by its id
    std::string sound;                         // SSND's sound
    bool walkedToTheEnd = false;               // the last chunk ends where the FORM does
};

AiffChunks aiffChunksOf(const std::string& path)
{
    AiffChunks found;
    const std::string bytes = testmedia::readBytes(path);
    if (bytes.size() < 12 || bytes.compare(0, 4, "FORM") != 0 || bytes.compare(8, 4, "AIFF") != 0)
        return found;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        const std::size_t size = bigEndian(bytes, at + 4, 4);
        if (at + 8 + size > bytes.size())
            return found;
        found.ids.push_back(id);
        if (id == "SSND")
            found.sound = bytes.substr(at + 16, size - 8);
        else
            found.bodies[id] = bytes.substr(at + 8, size);
        if (id == "COMM") {
            found.frames = static_cast<std::int64_t>(bigEndian(bytes, at + 10, 4));
            found.bits = static_cast<int>(bigEndian(bytes, at + 14, 2));
        }
        if (id == "MARK") {
            std::size_t from = at + 10;
            for (std::uint64_t count = bigEndian(bytes, at + 8, 2); count > 0; --count) {
                const auto frame = static_cast<std::int64_t>(bigEndian(bytes, from + 2, 4));
                const std::size_t length = static_cast<std::uint8_t>(bytes[from + 6]);
                found.markers.push_back({frame, bytes.substr(from + 7, length)});
                from += 7 + length + (length % 2 == 0 ? 1 : 0);
            }
        }
        at += 8 + size + size % 2;
        found.walkedToTheEnd = at == bytes.size() && at == 8 + bigEndian(bytes, 4, 4);
    }
    return found;
}

class AiffOutput : public MediaFixture {
protected:
    RenderPlan threePieces()
    {
        std::vector<std::pair<std::string, MediaTime>> items;
        const double seconds[] = {0.5123, 0.3377, 1.0};
        for (int i = 0; i < 3; ++i) {
            ToneSpec tone;
            tone.seconds = seconds[i];
            tone.frequency = 300 + 200 * i;
            const std::string path =
                makeTone("piece" + std::to_string(i), i == 1 ? MediaFormat::Mp3 : MediaFormat::WavS16, tone);
            MediaTime length = 0;
            EXPECT_EQ(measureDuration(path, length), result::kOk) << path;
            items.emplace_back(path, length);
        }
        return planOf(items, outputFormatFor(pathOf("join.aiff")));
    }
};

// The AIFF decodes, by FFmpeg, to exactly the samples of the same join as
// WAV, and marks where each source starts.
TEST_F(AiffOutput, HoldsTheSameSoundAsAWavOfTheJoinAndAMarkerPerSource)
{
    const RenderPlan plan = threePieces();
    if (skipped())
        GTEST_SKIP() << skipReason();
    ASSERT_EQ(plan.format.encoding, Encoding::Aiff);
    RenderProgress progress;
    ASSERT_EQ(renderJoin(plan, pathOf("join.aiff"), progress, {}), result::kOk);
    RenderPlan asWav = plan;
    asWav.format.encoding = Encoding::Wav;
    ASSERT_EQ(renderJoin(asWav, pathOf("join.wav"), progress, {}), result::kOk);

    EXPECT_EQ(testmedia::codecOf(pathOf("join.aiff")), "pcm_s16be");
    const testmedia::ResampledSound aiff = testmedia::resampleWithFfmpeg(pathOf("join.aiff"), 44100, 2);
    const testmedia::ResampledSound wav = testmedia::resampleWithFfmpeg(pathOf("join.wav"), 44100, 2);
    ASSERT_TRUE(aiff.ok) << aiff.message;
    ASSERT_TRUE(wav.ok) << wav.message;
    EXPECT_EQ(aiff.frames(2), plan.totalFrames);
    EXPECT_TRUE(aiff.samples == wav.samples) << "the AIFF's sound is not the join's";

    const AiffChunks chunks = aiffChunksOf(pathOf("join.aiff"));
    EXPECT_EQ(chunks.frames, plan.totalFrames);
    const std::vector<Marker> markers = markersOf(plan);
    ASSERT_EQ(chunks.markers.size(), markers.size());
    for (std::size_t i = 0; i < markers.size(); ++i) {
        EXPECT_EQ(chunks.markers[i].frame, markers[i].frame) << "marker " << i;
        EXPECT_EQ(chunks.markers[i].label, markers[i].label) << "marker " << i;
    }
}

// Stopped, the AIFF claims what is complete and marks only the sources reached.
TEST_F(AiffOutput, AStoppedJoinClaimsWhatIsCompleteAndMarksTheSourcesReached)
{
    // Decoding mp3 keeps the join slow enough to be stopped on a loaded
    // machine; a WAV source would be copied to its end first.
    ToneSpec tone;
    tone.seconds = 20;
    const std::string path = makeTone("long", MediaFormat::Mp3, tone);
    if (skipped())
        GTEST_SKIP() << skipReason();
    ASSERT_FALSE(path.empty());
    MediaTime length = 0;
    ASSERT_EQ(measureDuration(path, length), result::kOk);
    const RenderPlan plan = planOf(std::vector<std::pair<std::string, MediaTime>>(40, {path, length}),
                                   outputFormatFor(pathOf("join.aif")));
    RenderProgress progress;
    std::stop_source stop;
    MediaResult rendered = result::kOk;
    std::jthread renderer([&] { rendered = renderJoin(plan, pathOf("join.aif"), progress, stop.get_token()); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (progress.framesComplete.load() < 40 * 44100 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    stop.request_stop();
    renderer.join();
    ASSERT_EQ(rendered, result::kStopped);
    const std::int64_t complete = progress.framesComplete.load();
    ASSERT_LT(complete, plan.totalFrames);
    const AiffChunks chunks = aiffChunksOf(pathOf("join.aif"));
    EXPECT_EQ(chunks.frames, complete);
    EXPECT_EQ(chunks.markers.size(), markersReached(markersOf(plan), complete).size());
    EXPECT_EQ(testmedia::playedFrames(pathOf("join.aif"), Encoding::Aiff), complete);
}

// AIFF's sizes have 32 bits: a join past them is refused before any byte is
// written, rather than left with sizes that wrapped round.
TEST_F(AiffOutput, AJoinPastFourGigabytesIsRefusedBeforeAnythingIsWritten)
{
    const OutputFormat format = outputFormatFor(pathOf("long.aiff"));
    const std::string path = pathOf("long.aiff");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const std::int64_t bytesPerFrame = 4;
    const struct {
        std::int64_t frames;
        MediaResult expected;
    } cases[] = {{(std::int64_t{1} << 32) / bytesPerFrame, result::kOutputTooLarge},
                 {(std::int64_t{1} << 32) / bytesPerFrame - 1024, result::kOk}};
    for (const auto& each : cases) {
        ASSERT_EQ(::ftruncate(fd, 0), 0);
        AiffWriter writer(fd, format, {{0, "a.wav"}}, each.frames);
        EXPECT_EQ(writer.writeHeader(nullptr), each.expected) << each.frames;
        struct stat written {};
        ASSERT_EQ(::fstat(fd, &written), 0);
        EXPECT_EQ(written.st_size == 0, failed(each.expected)) << each.frames;
    }
    ::close(fd);
}

// 16 or 24 bits, stereo or mono, of an even or odd length: the samples turned
// big-endian whole, and after them the tags and markers, each chunk on an
// even byte, as FFmpeg and a plain chunk walk both read them.
TEST_F(AiffOutput, HoldsEveryDepthAndItsTagsAndMarkersAfterTheSound)
{
    const std::string cover = pathOf("cover.png");
    const Tool made = runTool("ffmpeg", {"-v", "error", "-f", "lavfi", "-i", "color=c=blue:s=16x16", "-frames:v", "1",
                                         QString::fromStdString(cover)});
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    OutputTags tags;
    tags.fields = {{"title", "The Book"}, {"artist", "An Author"}, {"album", "The Book"}, {"genre", "Audiobook"},
                   {"comment", "Read aloud"}};
    const std::string png = testmedia::readBytes(cover);
    tags.cover.bytes.assign(png.begin(), png.end());
    tags.cover.mimeType = "image/png";
    struct Case {
        const char* name;
        int bits;
        int channels;
        std::int64_t frames;
        const char* codec;
    };
    for (const Case& c : {Case{"16-bit stereo", 16, 2, 1000, "pcm_s16be"}, Case{"24-bit stereo", 24, 2, 1000, "pcm_s24be"},
                          Case{"24-bit mono, odd", 24, 1, 1001, "pcm_s24be"}}) {
        SCOPED_TRACE(c.name);
        const std::string path = pathOf("tagged.aiff");
        OutputFormat format = outputFormatFor(path);
        format.bitsPerSample = c.bits;
        format.channels = c.channels;
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        AiffWriter writer(fd, format, {{0, "One"}, {c.frames / 2, "Two"}}, c.frames, tags);
        ASSERT_EQ(writer.writeHeader(nullptr), result::kOk);
        // Every byte of a sample differs, so a sample turned round in pieces shows.
        const auto sampleBytes = static_cast<std::size_t>(c.bits / 8);
        std::vector<std::uint8_t> frames(static_cast<std::size_t>(c.frames * c.channels) * sampleBytes);
        for (std::size_t i = 0; i < frames.size(); ++i)
            frames[i] = static_cast<std::uint8_t>(i * 7 + i / sampleBytes);
        ASSERT_EQ(writer.writeFrames(0, frames.data(), c.frames), result::kOk);
        ASSERT_EQ(writer.finish(nullptr, c.frames), result::kOk);
        ::close(fd);

        const AiffChunks chunks = aiffChunksOf(path);
        EXPECT_TRUE(chunks.walkedToTheEnd) << ::testing::PrintToString(chunks.ids);
        EXPECT_EQ(chunks.ids, (std::vector<std::string>{"COMM", "SSND", "NAME", "AUTH", "ANNO", "ID3 ", "MARK"}));
        EXPECT_EQ(chunks.bits, c.bits);
        EXPECT_EQ(chunks.frames, c.frames);
        std::string bigEndianFrames;
        for (std::size_t i = 0; i < frames.size(); i += sampleBytes)
            for (std::size_t b = sampleBytes; b-- > 0;)
                bigEndianFrames += static_cast<char>(frames[i + b]);
        EXPECT_TRUE(chunks.sound == bigEndianFrames) << "the samples are not the frames given, big-endian";
        const auto body = [&](const char* id) {
            const auto found = chunks.bodies.find(id);
            return found == chunks.bodies.end() ? std::string("(none)") : found->second;
        };
        EXPECT_EQ(body("NAME"), "The Book");
        EXPECT_EQ(body("AUTH"), "An Author");
        EXPECT_EQ(body("ANNO"), "Read aloud");
        ASSERT_EQ(chunks.markers.size(), 2u);
        EXPECT_EQ(chunks.markers[1].frame, c.frames / 2);
        EXPECT_EQ(chunks.markers[1].label, "Two");

        const QJsonObject probed = testmedia::probeFile(path);
        const QJsonObject found = probed["format"]["tags"].toObject();
        for (const auto& [key, value] : tags.fields)
            EXPECT_EQ(found[QString::fromStdString(key)].toString().toStdString(), value) << key;
        QStringList codecs;
        for (const QJsonValue& stream : probed["streams"].toArray())
            codecs << stream["codec_name"].toString() +
                          (stream["disposition"]["attached_pic"].toInt() == 1 ? " cover" : "");
        EXPECT_EQ(codecs, (QStringList{c.codec, "png cover"}));
        const Tool decoded = runTool("ffmpeg", {"-nostdin", "-v", "warning", "-i", QString::fromStdString(path), "-map",
                                                "0:a", "-f", "null", "-"});
        EXPECT_EQ(decoded.exitCode, 0);
        // AIFF has no channel layout: FFmpeg's guess at it is no fault of the file.
        QStringList warnings = QString::fromUtf8(decoded.err).split('\n', Qt::SkipEmptyParts);
        warnings.removeIf([](const QString& line) { return line.startsWith("Guessed Channel Layout"); });
        EXPECT_EQ(warnings, QStringList{}) << "FFmpeg warns of the file";
        EXPECT_EQ(testmedia::playedFrames(path, Encoding::Aiff), c.frames);
    }
}

// A name longer than a marker holds is cut at a character, never inside one.
TEST_F(AiffOutput, ALongNameIsCutToWholeCharacters)
{
    // One byte, then three-byte characters: byte 255 falls inside one.
    std::string name = "a";
    for (int i = 0; i < 100; ++i)
        name += "\xE5\xA3\xB0"; // 声
    const std::string path = pathOf("named.aiff");
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    constexpr std::int64_t kFrames = 10;
    AiffWriter writer(fd, outputFormatFor(path), {{0, "short.wav"}, {5, name}}, kFrames);
    ASSERT_EQ(writer.writeHeader(nullptr), result::kOk);
    const std::vector<std::uint8_t> silence(kFrames * 4, 0);
    ASSERT_EQ(writer.writeFrames(0, silence.data(), kFrames), result::kOk);
    ASSERT_EQ(writer.finish(nullptr, kFrames), result::kOk);
    ::close(fd);

    const AiffChunks chunks = aiffChunksOf(path);
    EXPECT_EQ(chunks.frames, kFrames);
    ASSERT_EQ(chunks.markers.size(), 2u);
    EXPECT_EQ(chunks.markers[0].label, "short.wav");
    EXPECT_EQ(chunks.markers[1].frame, 5);
    EXPECT_EQ(chunks.markers[1].label, name.substr(0, 1 + 84 * 3));
    EXPECT_EQ(testmedia::playedFrames(path, Encoding::Aiff), kFrames);
}

} // namespace
} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/output_file.h"
#include "media/wav_header.h"
#include "tests/media/media_fixture.h"
#include "tests/support/wav_chunks.h"

#include <chrono>
#include <thread>

namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;
using testmedia::WavChunks;

// The cue points and labels of `chunks` are exactly one per marker, in order.
::testing::AssertionResult carriesMarkers(const WavChunks& chunks, const std::vector<Marker>& markers)
{
    if (!chunks.ok)
        return ::testing::AssertionFailure() << chunks.message;
    if (chunks.cues.size() != markers.size() || chunks.labels.size() != markers.size())
        return ::testing::AssertionFailure() << chunks.cues.size() << " cue points and " << chunks.labels.size()
                                             << " labels, not " << markers.size();
    if (!markers.empty() && !chunks.listIsAdtl)
        return ::testing::AssertionFailure() << "the LIST chunk is not of type adtl";
    for (std::size_t i = 0; i < markers.size(); ++i) {
        const testmedia::WavCuePoint& cue = chunks.cues[i];
        const auto id = static_cast<std::uint32_t>(i + 1);
        if (cue.id != id || cue.sampleOffset != markers[i].frame || cue.position != markers[i].frame ||
            cue.chunk != "data" || cue.chunkStart != 0 || cue.blockStart != 0)
            return ::testing::AssertionFailure()
                   << "cue " << i << ": id " << cue.id << ", offset " << cue.sampleOffset << ", position "
                   << cue.position << ", chunk '" << cue.chunk << "' instead of offset " << markers[i].frame;
        if (chunks.labels.count(id) == 0 || chunks.labels.at(id) != markers[i].label)
            return ::testing::AssertionFailure() << "label of cue " << id << " is not " << markers[i].label;
    }
    return ::testing::AssertionSuccess();
}

std::vector<Marker> startsOf(const RenderPlan& plan, std::int64_t before)
{
    std::vector<Marker> markers;
    for (const Marker& marker : sourceStartsOf(plan))
        if (marker.frame < before)
            markers.push_back(marker);
    return markers;
}

// A wav, an mp3, an ogg and an m4a, of lengths that are no whole number of
// frames: every cue point sits on its source's first frame, and the sound is
// byte for byte what a join without markers writes, which is the file as it
// always was.
TEST_F(MediaFixture, EverySourceIsMarkedAtItsFirstFrameAndTheDataStaysAsItWas)
{
    testmedia::ToneSpec tone;
    tone.seconds = 1.5;
    std::vector<std::pair<std::string, MediaTime>> items;
    const std::pair<MediaFormat, MediaTime> pieces[] = {{MediaFormat::WavS16, 7'654'321},
                                                        {MediaFormat::Mp3, 12'345'671},
                                                        {MediaFormat::Ogg, 3'333'337},
                                                        {MediaFormat::M4a, 9'876'543}};
    for (const auto& [format, length] : pieces) {
        const std::string path = makeTone("piece " + testmedia::nameOf(format), format, tone);
        if (skipped())
            GTEST_SKIP() << skipReason();
        items.emplace_back(path, length);
    }
    RenderPlan plan = planOf(items);
    ASSERT_NE(plan.sources[1].firstFrame % 10, 0) << "the starts should not be round numbers";

    const std::string marked = pathOf("marked.wav");
    const std::string plain = pathOf("plain.wav");
    ASSERT_EQ(render(plan, marked, 2), result::kOk);
    plan.withMarkers = false;
    ASSERT_EQ(render(plan, plain, 2), result::kOk);

    const WavChunks markedChunks = testmedia::readWavChunks(marked);
    ASSERT_TRUE(carriesMarkers(markedChunks, sourceStartsOf(plan)));
    EXPECT_EQ(markedChunks.riffSize + 8, markedChunks.fileSize);
    EXPECT_EQ(markedChunks.ids(), (std::vector<std::string>{"JUNK", "fmt ", "data", "cue ", "LIST"}));
    EXPECT_EQ(markedChunks.labels.at(2), "piece Mp3");

    const WavChunks plainChunks = testmedia::readWavChunks(plain);
    ASSERT_TRUE(plainChunks.ok) << plainChunks.message;
    EXPECT_EQ(plainChunks.ids(), (std::vector<std::string>{"JUNK", "fmt ", "data"}));

    const std::string data = testmedia::dataChunkOf(plain);
    ASSERT_EQ(data.size(), static_cast<std::size_t>(plan.totalFrames * 4));
    EXPECT_TRUE(testmedia::dataChunkOf(marked) == data);
    EXPECT_EQ(markedChunks.find("data")->body, kWavHeaderSize);
    // Without markers the file is the header and the data, nothing more.
    const WavHeader header = buildWavHeader(plan.format, data.size());
    EXPECT_TRUE(testmedia::readBytes(plain) == std::string(header.begin(), header.end()) + data);

    // FFmpeg reads both to the same length and the same sound.
    const testmedia::WavData markedSound = testmedia::readWav(marked);
    const testmedia::WavData plainSound = testmedia::readWav(plain);
    ASSERT_TRUE(markedSound.ok) << markedSound.message;
    EXPECT_EQ(markedSound.frames(), plan.totalFrames);
    EXPECT_EQ(markedSound.headerFrames, plan.totalFrames);
    EXPECT_TRUE(markedSound.samples == plainSound.samples);
    const testmedia::DecodedCount decoded = testmedia::countDecodedFrames(marked);
    ASSERT_TRUE(decoded.ok) << decoded.message;
    EXPECT_EQ(decoded.frames, plan.totalFrames);
}

// Stopped early, the file keeps the markers of the sources it reached and
// stays a file whose sizes all add up.
TEST_F(MediaFixture, AStoppedJoinKeepsTheMarkersOfWhatItWrote)
{
    testmedia::ToneSpec tone;
    tone.seconds = 20;
    const std::string source = makeTone("long", MediaFormat::Mp3, tone);
    if (skipped())
        GTEST_SKIP() << skipReason();
    const RenderPlan plan =
        planOf(std::vector<std::pair<std::string, MediaTime>>(40, {source, seconds(19.9876543)}));
    const std::string output = pathOf("join.wav");
    RenderProgress progress;
    std::stop_source stop;
    MediaResult rendered = result::kOk;
    {
        std::jthread renderer([&] { rendered = renderToWav(plan, output, progress, stop.get_token(), {}); });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (progress.framesComplete.load() < plan.sources[1].firstFrame + 1000 &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        stop.request_stop();
    }
    ASSERT_EQ(rendered, result::kStopped);

    const testmedia::WavData wav = testmedia::readWav(output);
    ASSERT_TRUE(wav.ok) << wav.message;
    EXPECT_EQ(wav.headerFrames, wav.frames());
    ASSERT_LT(wav.frames(), plan.totalFrames);
    const std::vector<Marker> reached = startsOf(plan, wav.frames());
    ASSERT_GE(reached.size(), 2u);
    ASSERT_LT(reached.size(), plan.sources.size());
    const WavChunks chunks = testmedia::readWavChunks(output);
    EXPECT_TRUE(carriesMarkers(chunks, reached));
    EXPECT_EQ(chunks.riffSize + 8, chunks.fileSize);
    EXPECT_EQ(chunks.find("data")->size, static_cast<std::uint64_t>(wav.frames() * 4));
    const testmedia::DecodedCount decoded = testmedia::countDecodedFrames(output);
    ASSERT_TRUE(decoded.ok) << decoded.message;
    EXPECT_EQ(decoded.frames, wav.frames());
}

// Where the kept part ends decides which markers stay: only those of sources
// that start inside it.
struct KeptCase {
    friend void PrintTo(const KeptCase& tested, std::ostream* out) { *out << tested.name; }
    const char* name;
    std::int64_t frames;
    std::size_t markersKept;
};

class MarkersKept : public MediaFixture, public ::testing::WithParamInterface<KeptCase> {};

TEST_P(MarkersKept, AreThoseThatStartInsideTheFinishedFile)
{
    const std::vector<Marker> markers{{0, "a.wav"}, {199, "b.mp3"}, {200, "c.ogg"}, {250, "d.m4a"}};
    std::unique_ptr<OutputFile> file;
    ASSERT_EQ(OutputFile::create(pathOf("join.wav"), OutputFormat{}, 300, file, markers), result::kOk);
    const std::vector<std::int16_t> sound(300 * 2, 1000);
    ASSERT_EQ(file->writeFrames(0, sound.data(), 300), result::kOk);
    ASSERT_EQ(file->finish(GetParam().frames), result::kOk);

    const WavChunks chunks = testmedia::readWavChunks(pathOf("join.wav"));
    const std::vector<Marker> kept(markers.begin(),
                                   markers.begin() + static_cast<std::ptrdiff_t>(GetParam().markersKept));
    EXPECT_TRUE(carriesMarkers(chunks, kept));
    EXPECT_EQ(chunks.riffSize + 8, chunks.fileSize);
    EXPECT_EQ(chunks.find("data")->size, static_cast<std::uint64_t>(GetParam().frames * 4));
}

INSTANTIATE_TEST_SUITE_P(Ends, MarkersKept,
                         ::testing::Values(KeptCase{"Everything", 300, 4}, KeptCase{"UpToALastFrame", 200, 2},
                                           KeptCase{"PastIt", 201, 3}, KeptCase{"OneFrame", 1, 1}),
                         [](const auto& tested) { return std::string(tested.param.name); });

// Past 4 GiB the markers follow the data of an RF64 file, counted in its
// ds64 size. A sparse file makes this cheap: finishing a partial file cuts it
// to its frames, which extends it without writing them.
TEST_F(MediaFixture, Rf64FileCarriesItsMarkersAfterItsData)
{
    const std::int64_t frames = 1'200'000'000; // 4.8 GB, seven and a half hours
    const std::vector<Marker> markers{{0, "first.mp3"}, {frames - 44100, "last.ogg"}};
    const std::string output = pathOf("long.wav");
    std::unique_ptr<OutputFile> file;
    // The join's length only serves the check for room on the disk.
    ASSERT_EQ(OutputFile::create(output, OutputFormat{}, 0, file, markers), result::kOk);
    ASSERT_EQ(file->finish(frames), result::kOk);

    const WavChunks chunks = testmedia::readWavChunks(output);
    ASSERT_TRUE(carriesMarkers(chunks, markers));
    EXPECT_EQ(chunks.form, "RF64");
    EXPECT_EQ(chunks.riffSize + 8, chunks.fileSize);
    EXPECT_EQ(chunks.find("data")->size, static_cast<std::uint64_t>(frames) * 4);
    EXPECT_EQ(chunks.ids(), (std::vector<std::string>{"ds64", "fmt ", "data", "cue ", "LIST"}));
    MediaTime duration = 0;
    ASSERT_EQ(measureDuration(output, duration), result::kOk);
    EXPECT_EQ(frameAt(duration, 44100), frames);
}

} // namespace
} // namespace kestrine::testing

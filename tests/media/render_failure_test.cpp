// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/media/media_fixture.h"
#include "tests/support/wav_chunks.h"

#include <QFileInfo>

#include <chrono>
#include <cmath>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;

testmedia::ToneSpec toneOf(double seconds)
{
    testmedia::ToneSpec tone;
    tone.seconds = seconds;
    return tone;
}

// Stop in the middle of one long file: the render ends early, well before the
// file is decoded, and leaves a valid WAV of exactly the complete prefix.
TEST_F(MediaFixture, StopInTheMiddleOfALongFileLeavesAValidPrefix)
{
    const testmedia::ToneSpec tone = toneOf(60);
    const std::string path = makeTone("long", MediaFormat::Mp3, tone);
    if (skipped())
        GTEST_SKIP() << skipReason();
    const RenderPlan plan = planOf({{path, seconds(60)}});
    const std::string output = pathOf("join.wav");

    RenderProgress progress;
    std::stop_source stop;
    std::jthread stopper([&](std::stop_token own) {
        while (!own.stop_requested() && progress.framesComplete.load() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        stop.request_stop();
    });
    const MediaResult rendered = renderToWav(plan, output, progress, stop.get_token(), {});
    stopper.request_stop();
    stopper.join();

    ASSERT_EQ(rendered, result::kStopped);
    const std::int64_t complete = progress.framesComplete.load();
    EXPECT_GT(complete, 0);
    EXPECT_LT(complete, plan.totalFrames / 2) << "the stop waited for the file's end";
    const testmedia::WavData wav = testmedia::readWav(output);
    ASSERT_TRUE(wav.ok) << wav.message;
    EXPECT_EQ(wav.frames(), complete);
    EXPECT_EQ(wav.headerFrames, complete);
}

// A source that cannot be rendered stops the join with its own code; what is
// complete before it stays, with a true header.
struct BadSourceCase {
    const char* name;
    const char* fileName;
    const char* bytes; // nullptr: the file does not exist
    MediaResult expected;
};

void PrintTo(const BadSourceCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class BadSource : public MediaFixture, public ::testing::WithParamInterface<BadSourceCase> {};

TEST_P(BadSource, EndsTheJoinWithItsCodeAndKeepsThePrefix)
{
    const BadSourceCase& c = GetParam();
    const std::string good = makeTone("good", MediaFormat::Flac, toneOf(1));
    if (skipped())
        GTEST_SKIP() << skipReason();
    const std::string bad = pathOf(c.fileName);
    if (c.bytes) {
        ASSERT_TRUE(testmedia::writeBytes(bad, c.bytes));
    }
    const RenderPlan plan = planOf({{good, seconds(1)}, {bad, seconds(1)}, {good, seconds(1)}});
    const std::string output = pathOf("join.wav");

    ASSERT_EQ(render(plan, output, 1), c.expected);
    EXPECT_EQ(lastComplete(), 44100);
    const testmedia::WavData wav = testmedia::readWav(output);
    ASSERT_TRUE(wav.ok) << wav.message;
    EXPECT_EQ(wav.frames(), 44100);
    EXPECT_EQ(wav.headerFrames, 44100);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, BadSource,
    ::testing::Values(BadSourceCase{"Missing", "missing.mp3", nullptr, AVERROR(ENOENT)},
                      BadSourceCase{"NotMedia", "words.mp3", "this is not sound at all, only words\n",
                                    AVERROR_INVALIDDATA},
                      BadSourceCase{"NoSound", "words.srt", "1\n00:00:00,000 --> 00:00:01,000\nHello\n\n",
                                    result::kNoAudioStream}),
    [](const auto& test) { return std::string(test.param.name); });

// With several workers the failure still wins over the sources after it.
TEST_F(MediaFixture, FailureIsReportedWithSeveralWorkers)
{
    const std::string good = makeTone("good", MediaFormat::Flac, toneOf(1));
    if (skipped())
        GTEST_SKIP() << skipReason();
    const RenderPlan plan = planOf({{good, seconds(1)}, {pathOf("missing.wav"), seconds(1)},
                                    {good, seconds(1)}, {good, seconds(1)}});
    const std::string output = pathOf("join.wav");
    EXPECT_EQ(render(plan, output, 3), AVERROR(ENOENT));
    // The failure may come before the first source is done: then nothing is left.
    struct stat status {};
    if (lastComplete() == 0) {
        EXPECT_NE(::stat(output.c_str(), &status), 0) << "an empty join left a file";
        return;
    }
    const testmedia::WavData wav = testmedia::readWav(output);
    ASSERT_TRUE(wav.ok) << wav.message;
    EXPECT_LE(wav.frames(), 44100);
    EXPECT_EQ(wav.frames(), lastComplete());
    EXPECT_EQ(wav.headerFrames, wav.frames());
    // Nothing past the data but the chunks the header counts.
    const testmedia::WavChunks chunks = testmedia::readWavChunks(output);
    ASSERT_TRUE(chunks.ok) << chunks.message;
    EXPECT_EQ(chunks.riffSize + 8, chunks.fileSize);
    ASSERT_NE(chunks.find("data"), nullptr);
    EXPECT_EQ(chunks.find("data")->size, static_cast<std::uint64_t>(wav.frames() * 4));
}

TEST_F(MediaFixture, OutputThatCannotBeWrittenFailsWithItsCode)
{
    const std::string good = makeTone("good", MediaFormat::WavS16, toneOf(0.5));
    if (skipped())
        GTEST_SKIP() << skipReason();
    const RenderPlan plan = planOf({{good, seconds(0.5)}});
    EXPECT_EQ(render(plan, pathOf("gone/join.wav")), result::kCannotCreateOutput);
    EXPECT_EQ(render(plan, folder()), result::kOutputNotRegularFile);
    ASSERT_EQ(::mkfifo(pathOf("pipe.wav").c_str(), 0644), 0);
    EXPECT_EQ(render(plan, pathOf("pipe.wav")), result::kOutputNotRegularFile);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(folder() + ".part")));
}

} // namespace
} // namespace kestrine::testing

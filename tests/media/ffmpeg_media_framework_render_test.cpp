// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/framework/ffmpeg_media_framework.h"
#include "media/measure_duration.h"
#include "media/render_job.h"
#include "tests/support/framework_join.h"
#include "tests/support/test_media.h"
#include "tests/support/wav_assertions.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

namespace kestrine {
namespace {

using testing::buildJoinGraph;
using testing::buildTimeline;
using testing::JoinGraph;
using testing::NotifyCounter;
using testmedia::MediaFormat;
using testmedia::ToneSpec;

constexpr MediaTime kSecond = kUnitsPerSecond;

// Rising zero crossings per second of channel 0 over [first, end).
double measuredFrequency(const testmedia::WavData& wav, std::int64_t first, std::int64_t end)
{
    int crossings = 0;
    for (std::int64_t frame = first + 1; frame < end; ++frame) {
        if (wav.at(frame - 1, 0) < 0 && wav.at(frame, 0) >= 0)
            ++crossings;
    }
    return crossings * 44100.0 / static_cast<double>(end - first);
}

// Waits for the first written frames, so that a stop lands mid-render.
bool waitForProgress(const MediaSeeking& seeking)
{
    MediaTime position = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (position == 0 && std::chrono::steady_clock::now() < deadline) {
        seeking.currentPosition(position);
        std::this_thread::yield();
    }
    return position > 0;
}

class FfmpegMediaFrameworkRenderTest : public ::testing::Test {
protected:
    std::string file(const std::string& name) const
    {
        return dir.filePath(QString::fromStdString(name)).toStdString();
    }

    // Skips the test when this machine cannot make the format.
    std::string tone(const std::string& name, MediaFormat format, const ToneSpec& spec)
    {
        const auto made = testmedia::writeTone(dir.path().toStdString(), name, format, spec);
        if (made.status == testmedia::Status::Unavailable)
            skipReason = made.message;
        EXPECT_NE(made.status, testmedia::Status::Failed) << made.message;
        return made.path;
    }

    QTemporaryDir dir;
    FfmpegMediaFramework framework;
    std::string skipReason;
};

TEST_F(FfmpegMediaFrameworkRenderTest, ThreeSourcesJoinIntoAnExactWav)
{
    // Three formats, three pitches, placed 3 s + 5 s + 2 s: the output holds
    // exactly ten seconds and each source where the timeline puts it.
    const auto first = tone("first", MediaFormat::WavS16, {.frequency = 441.0, .seconds = 3.0});
    const auto second = tone("second", MediaFormat::Mp3, {.frequency = 882.0, .seconds = 5.0});
    const auto third = tone("third", MediaFormat::Ogg, {.frequency = 220.5, .seconds = 2.0});
    if (!skipReason.empty())
        GTEST_SKIP() << skipReason;

    const auto output = file("joined.wav");
    JoinGraph join;
    ASSERT_EQ(buildJoinGraph(framework,
                             buildTimeline(framework, testing::backToBack({{first, 3}, {second, 5}, {third, 2}})),
                             output, join),
              result::kOk);
    NotifyCounter notified;
    ASSERT_EQ(join.events->setNotify(notified.function()), result::kOk);
    ASSERT_EQ(join.control->run(), result::kOk);
    ASSERT_TRUE(notified.waitFor(1));
    const auto events = testing::drainEvents(*join.events);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, kEventComplete) << framework.errorText(static_cast<MediaResult>(events[0].param1));

    MediaTime position = 0;
    MediaTime length = 0;
    EXPECT_EQ(join.seeking->currentPosition(position), result::kOk);
    EXPECT_EQ(join.seeking->stopPosition(length), result::kOk);
    EXPECT_EQ(position, 10 * kSecond);
    EXPECT_EQ(length, 10 * kSecond);
    EXPECT_EQ(join.control->stop(), result::kOk);

    const auto wav = testmedia::readWav(output);
    ASSERT_TRUE(testmedia::isJoinedWav(wav, 441000));

    // The PCM source comes through sample for sample (one step of rounding).
    const ToneSpec firstSpec{.frequency = 441.0, .seconds = 3.0};
    for (std::int64_t frame = 0; frame < 132300; frame += 997)
        ASSERT_NEAR(wav.at(frame, 0), testmedia::toneValue(firstSpec, frame) * 32767.0, 2.0) << frame;
    // The coded ones by their pitch, away from the joins: within 1 %.
    const struct {
        std::int64_t first;
        std::int64_t end;
        double frequency;
    } segments[] = {{4410, 127890, 441.0}, {136710, 348390, 882.0}, {357210, 436590, 220.5}};
    for (const auto& segment : segments)
        EXPECT_NEAR(measuredFrequency(wav, segment.first, segment.end), segment.frequency,
                    segment.frequency / 100)
            << segment.first;
}

TEST_F(FfmpegMediaFrameworkRenderTest, StopInTheMiddleLeavesAValidWavAndNoEvent)
{
    // Ten minutes of decoding: long enough that stopping lands mid-render.
    const auto minute = tone("minute", MediaFormat::Mp3, {.frequency = 440.0, .seconds = 60.0});
    if (!skipReason.empty())
        GTEST_SKIP() << skipReason;
    std::vector<std::pair<std::string, double>> items(10, {minute, 60.0});
    const auto output = file("stopped.wav");
    JoinGraph join;
    ASSERT_EQ(buildJoinGraph(framework, buildTimeline(framework, testing::backToBack(items)), output, join),
              result::kOk);
    NotifyCounter notified;
    join.events->setNotify(notified.function());
    ASSERT_EQ(join.control->run(), result::kOk);

    ASSERT_TRUE(waitForProgress(*join.seeking));
    // A running graph is not rebuilt under the render, and a second run joins the first.
    EXPECT_EQ(join.engine->connectFrontEnd(), result::kWrongState);
    EXPECT_EQ(join.control->run(), result::kOk);
    ASSERT_EQ(join.control->stop(), result::kOk);
    EXPECT_EQ(join.control->stop(), result::kOk); // twice is harmless

    // The render thread has ended: whatever it was going to post is there.
    EXPECT_TRUE(testing::drainEvents(*join.events).empty());
    EXPECT_EQ(notified.count(), 0);
    const auto wav = testmedia::readWav(output);
    ASSERT_TRUE(wav.ok) << wav.message;
    EXPECT_EQ(wav.headerFrames, wav.frames());
    EXPECT_LT(wav.frames(), 600 * 44100);
}

TEST_F(FfmpegMediaFrameworkRenderTest, UnreadableSourceAbortsWithItsCode)
{
    const auto good = tone("good", MediaFormat::WavS16, {.seconds = 1.0});
    const auto text = file("notes.mp3");
    ASSERT_TRUE(testmedia::writeBytes(text, "these are not the sounds you are looking for\n"));
    struct Case {
        const char* name;
        std::string badPath;
    };
    const std::vector<Case> cases{{"missing file", file("missing.ogg")}, {"text named .mp3", text}};
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const auto output = file("aborted.wav");
        JoinGraph join;
        ASSERT_EQ(buildJoinGraph(framework,
                                 buildTimeline(framework, testing::backToBack({{good, 1}, {test.badPath, 1}})),
                                 output, join),
                  result::kOk);
        NotifyCounter notified;
        join.events->setNotify(notified.function());
        ASSERT_EQ(join.control->run(), result::kOk);
        ASSERT_TRUE(notified.waitFor(1));
        const auto events = testing::drainEvents(*join.events);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].code, kEventErrorAbort);
        MediaTime ignored = 0;
        // The run reports what opening the file reports.
        EXPECT_EQ(static_cast<MediaResult>(events[0].param1), measureDuration(test.badPath, ignored));
        EXPECT_FALSE(framework.errorText(static_cast<MediaResult>(events[0].param1)).empty());
        // The second source of the timeline is to blame.
        EXPECT_EQ(events[0].param2, 2);
        join.control->stop();
        // Every source is opened before anything is written: nothing is.
        EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(output)));
        EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(output + ".part")));
    }
}

TEST_F(FfmpegMediaFrameworkRenderTest, ReleasingEverythingMidRenderStopsIt)
{
    const auto minute = tone("minute", MediaFormat::Mp3, {.frequency = 440.0, .seconds = 60.0});
    if (!skipReason.empty())
        GTEST_SKIP() << skipReason;
    std::vector<std::pair<std::string, double>> items(10, {minute, 60.0});
    const auto output = file("released.wav");
    NotifyCounter notified;
    {
        JoinGraph join;
        ASSERT_EQ(buildJoinGraph(framework, buildTimeline(framework, testing::backToBack(items)), output, join),
                  result::kOk);
        join.events->setNotify(notified.function());
        ASSERT_EQ(join.control->run(), result::kOk);
        ASSERT_TRUE(waitForProgress(*join.seeking));
        // The engine drops its graph too; only the join's references hold it.
        ASSERT_EQ(join.engine->scrapIt(), result::kOk);
    } // the last reference goes here, with the render still going
    EXPECT_EQ(notified.count(), 0);
    const auto wav = testmedia::readWav(output);
    ASSERT_TRUE(wav.ok) << wav.message;
    EXPECT_GT(wav.frames(), 0);
    EXPECT_EQ(wav.headerFrames, wav.frames());
}

TEST_F(FfmpegMediaFrameworkRenderTest, RunningGraphOutlivesTheTimelineAndBuilder)
{
    // The join releases its step objects as it goes; the run must not need them.
    const auto source = tone("source", MediaFormat::WavS16, {.seconds = 2.0});
    const auto output = file("kept.wav");
    JoinGraph join;
    {
        auto timeline = buildTimeline(framework, testing::backToBack({{source, 2}}));
        ASSERT_EQ(buildJoinGraph(framework, timeline, output, join), result::kOk);
    }
    join.mux.reset();
    join.writer.reset();
    join.graph.reset();
    NotifyCounter notified;
    join.events->setNotify(notified.function());
    ASSERT_EQ(join.control->run(), result::kOk);
    join.engine.reset();
    ASSERT_TRUE(notified.waitFor(1));
    const auto events = testing::drainEvents(*join.events);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].code, kEventComplete);
    join.control->stop();
    EXPECT_EQ(testmedia::readWav(output).frames(), 2 * 44100);
}

TEST_F(FfmpegMediaFrameworkRenderTest, ClearedNotifyIsNeverCalledAgain)
{
    // Many short runs, each cleared while its render may be finishing: after
    // setNotify({}) returns, the old function must stay silent.
    const auto source = tone("short", MediaFormat::WavS16, {.seconds = 0.05});
    const auto output = file("short-joined.wav");
    JoinGraph join;
    ASSERT_EQ(buildJoinGraph(framework, buildTimeline(framework, testing::backToBack({{source, 0.05}})),
                             output, join),
              result::kOk);
    for (int run = 0; run < 50; ++run) {
        NotifyCounter notified;
        join.events->setNotify(notified.function());
        ASSERT_EQ(join.control->run(), result::kOk);
        join.events->setNotify({});
        const int seen = notified.count();
        join.control->stop();
        EXPECT_EQ(notified.count(), seen);
        testing::drainEvents(*join.events);
    }
}

TEST_F(FfmpegMediaFrameworkRenderTest, MeasuringThroughTheGraph)
{
    struct Case {
        MediaFormat format;
        double seconds;
    };
    const Case cases[] = {{MediaFormat::WavS16, 1.5}, {MediaFormat::Mp3, 2.0}, {MediaFormat::Flac, 0.75}};
    for (const auto& test : cases) {
        SCOPED_TRACE(testmedia::nameOf(test.format));
        const auto path = tone("measured", test.format, {.seconds = test.seconds});
        if (!skipReason.empty())
            continue;
        const auto decoded = testmedia::countDecodedFrames(path);
        ASSERT_TRUE(decoded.ok) << decoded.message;

        std::shared_ptr<FilterGraph> graph;
        ASSERT_EQ(framework.createFilterGraph(graph), result::kOk);
        ASSERT_EQ(graph->renderFile(path), result::kOk);
        std::shared_ptr<MediaSeeking> seeking;
        ASSERT_EQ(graph->mediaSeeking(seeking), result::kOk);
        MediaTime length = 0;
        ASSERT_EQ(seeking->stopPosition(length), result::kOk);
        const double decodedSeconds = static_cast<double>(decoded.frames) / decoded.sampleRate;
        EXPECT_NEAR(static_cast<double>(length) / kSecond, decodedSeconds, 0.001);
    }

    std::shared_ptr<FilterGraph> graph;
    framework.createFilterGraph(graph);
    const auto text = file("text.mp3");
    ASSERT_TRUE(testmedia::writeBytes(text, "not audio at all"));
    MediaTime ignored = 0;
    EXPECT_EQ(graph->renderFile(text), measureDuration(text, ignored));
    EXPECT_TRUE(failed(graph->renderFile(text)));
}

} // namespace
} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/framework/ffmpeg_encoder_catalog.h"
#include "media/framework/ffmpeg_media_framework.h"
#include "output/compressor_lists.h"
#include "output/output_graph.h"
#include "output/timeline_builder.h"
#include "tests/support/recording_dialogs.h"
#include "tests/support/test_media.h"
#include "tests/support/wav_assertions.h"

#include <QFile>
#include <QTemporaryDir>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

// The builder and the graph on the real framework, for what only real
// components and real files can show.
namespace kestrine::testing {
namespace {

class WaitingHost : public JoinHost {
public:
    std::function<void()> graphEventNotifier() override
    {
        return [this] {
            std::lock_guard lock(mutex);
            ++notified;
            arrived.notify_all();
        };
    }
    void joinStarted() override { ++started; }

    bool waitForNotify()
    {
        std::unique_lock lock(mutex);
        return arrived.wait_for(lock, std::chrono::minutes(2), [this] { return notified > 0; });
    }

    std::mutex mutex;
    std::condition_variable arrived;
    int notified = 0;
    int started = 0;
};

struct FfmpegOutputTest : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        testmedia::ToneSpec tone;
        tone.frames = 5 * 44'100;
        const testmedia::Generated file =
            testmedia::writeTone(dir.path().toStdString(), "tone", testmedia::MediaFormat::WavS16, tone);
        ASSERT_TRUE(file) << file.message;
        input = QString::fromStdString(file.path);
        output = dir.filePath("out.wav");
    }

    QTemporaryDir dir;
    QString input;
    QString output;
    FfmpegMediaFramework framework;
    RecordingDialogs dialogs;
    WaitingHost host;
    JoinReferences references;
};

TEST_F(FfmpegOutputTest, MissingMultiplexerIsToldUnderErrorAndNoFileIsCreated)
{
    framework.unregisterComponent(kWaveMuxClassId);
    const std::vector<ClipItem> items{{input, kUnitsPerSecond}};
    TimelineBuilder builder(framework, dialogs, {});
    ASSERT_EQ(builder.build(items, items, references.timeline), result::kOk);
    OutputGraph(framework, dialogs).start(references, output, host);

    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral(
                  "The program does not detect its file writer. Please install the program again!"));
    EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("Error"));
    EXPECT_EQ(host.started, 0);
    EXPECT_FALSE(QFile::exists(output));
}

TEST_F(FfmpegOutputTest, ThreeItemsOfThreeFiveAndTwoSecondsWriteExactlyTenSeconds)
{
    // Each item's placed length rules: a file longer than its item is cut.
    const std::vector<ClipItem> items{{input, 3 * kUnitsPerSecond},
                                      {input, 5 * kUnitsPerSecond},
                                      {input, 2 * kUnitsPerSecond}};
    TimelineBuilder builder(framework, dialogs, {});
    ASSERT_EQ(builder.build(items, items, references.timeline), result::kOk);
    OutputGraph(framework, dialogs).start(references, output, host);
    ASSERT_EQ(host.started, 1) << dialogs.texts().join(" | ").toStdString();

    bool completed = false;
    while (!completed) {
        ASSERT_TRUE(host.waitForNotify());
        host.notified = 0;
        GraphEvent event;
        while (succeeded(references.graphEvents->getEvent(event, 0))) {
            references.graphEvents->freeEventParams(event);
            ASSERT_NE(event.code, kEventErrorAbort) << framework.errorText(static_cast<MediaResult>(event.param1));
            completed = completed || event.code == kEventComplete;
        }
    }
    OutputGraph::release(references);

    EXPECT_TRUE(testmedia::isJoinedWav(testmedia::readWav(output.toStdString()), 441'000));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST(FfmpegCompressorListTest, ListsThisSystemsEncodersAfterTheFirstEntry)
{
    FfmpegEncoderCatalog catalog;
    RecordingDialogs dialogs;
    QStringList audio;
    QStringList video;
    EXPECT_EQ(fillAudioCompressors(audio, catalog, dialogs), result::kOk);
    EXPECT_EQ(fillVideoCompressors(video, catalog, dialogs), result::kOk);
    ASSERT_GT(audio.size(), 1);
    EXPECT_EQ(audio.front(), QStringLiteral("Uncompressed Audio"));
    EXPECT_EQ(video.front(), QStringLiteral("Full frames (uncompressed)"));
    // FLAC's encoder is built into every FFmpeg.
    EXPECT_TRUE(audio.contains(QStringLiteral("FLAC (Free Lossless Audio Codec)"))) << audio.join(", ").toStdString();
    EXPECT_FALSE(video.contains(QStringLiteral("FLAC (Free Lossless Audio Codec)")));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

} // namespace
} // namespace kestrine::testing

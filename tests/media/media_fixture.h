// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/ffmpeg.h"
#include "media/measure_duration.h"
#include "media/render_job.h"
#include "tests/support/test_media.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace kestrine::testing {

// A folder of generated media and the plans that join them.
class MediaFixture : public ::testing::Test {
protected:
    std::string folder() const { return folder_.path().toStdString(); }
    std::string pathOf(const std::string& name) const { return folder() + "/" + name; }

    // Generates a tone, or skips the test when this machine cannot encode it.
    std::string makeTone(const std::string& name, testmedia::MediaFormat format,
                         const testmedia::ToneSpec& tone)
    {
        const testmedia::Generated file = testmedia::writeTone(folder(), name, format, tone);
        if (file.status == testmedia::Status::Unavailable) {
            skipReason_ = file.message;
            return {};
        }
        EXPECT_TRUE(file) << file.message;
        return file.path;
    }
    bool skipped() const { return !skipReason_.empty(); }
    const std::string& skipReason() const { return skipReason_; }

    // Sources back to back, each as long as its length says, as a timeline
    // lays them out at the output format's rate.
    static RenderPlan planOf(const std::vector<std::pair<std::string, MediaTime>>& items,
                             const OutputFormat& format = {})
    {
        RenderPlan plan;
        plan.format = format;
        MediaTime at = 0;
        for (const auto& [path, length] : items) {
            PlannedSource source;
            source.path = path;
            source.mediaStart = 0;
            source.mediaStop = length;
            source.firstFrame = frameAt(at, plan.format.sampleRate);
            at += length;
            source.endFrame = frameAt(at, plan.format.sampleRate);
            plan.sources.push_back(source);
        }
        plan.totalFrames = frameAt(at, plan.format.sampleRate);
        return plan;
    }

    static MediaTime seconds(double value) { return static_cast<MediaTime>(value * kUnitsPerSecond); }

    MediaResult render(const RenderPlan& plan, const std::string& output, int workers = 1)
    {
        RenderProgress progress;
        RenderOptions options;
        options.workers = workers;
        const MediaResult rendered = renderToWav(plan, output, progress, {}, options);
        lastComplete_ = progress.framesComplete.load();
        return rendered;
    }
    std::int64_t lastComplete() const { return lastComplete_; }

private:
    QTemporaryDir folder_;
    std::string skipReason_;
    std::int64_t lastComplete_ = 0;
};

// Waits until a render running on another thread has at least `frames` of
// its join complete; false when it ended first, or did not get there within
// the limit.
inline bool waitForProgress(const RenderProgress& progress, const std::atomic<bool>& ended,
                            std::int64_t frames = 1, std::chrono::seconds limit = std::chrono::seconds(60))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (progress.framesComplete.load() < frames) {
        if (ended.load() || std::chrono::steady_clock::now() >= deadline)
            return progress.framesComplete.load() >= frames;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Estimated frequency of channel 0 over [first, end): zero crossings per second.
inline double frequencyOf(const testmedia::WavData& wav, std::int64_t first, std::int64_t end)
{
    int crossings = 0;
    for (std::int64_t n = first + 1; n < end; ++n)
        if ((wav.at(n - 1, 0) < 0) != (wav.at(n, 0) < 0))
            ++crossings;
    return crossings / 2.0 * wav.sampleRate / static_cast<double>(end - first);
}

} // namespace kestrine::testing

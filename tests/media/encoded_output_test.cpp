// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/early_chapters.h"
#include "media/markers.h"
#include "output/framework/output_formats.h"
#include "tests/media/media_fixture.h"
#include "tests/support/encoded_media.h"
#include "tests/support/run_tool.h"

#include <gmock/gmock.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <numbers>
#include <thread>

namespace kestrine::testing {
namespace {

using testmedia::Chapter;
using testmedia::chaptersOf;
using testmedia::MediaFormat;
using testmedia::playedFrames;
using testmedia::ToneSpec;

struct Encoded {
    const char* extension;
    Encoding encoding;
    int sampleRate;
    const char* codec;
};

void PrintTo(const Encoded& encoded, std::ostream* out)
{
    *out << encoded.extension;
}

std::string nameOf(const ::testing::TestParamInfo<Encoded>& info)
{
    return info.param.extension;
}

const Encoded kEncodings[] = {{"flac", Encoding::Flac, 44100, "flac"},
                              {"mp3", Encoding::Mp3, 44100, "mp3"},
                              {"m4a", Encoding::M4a, 44100, "aac"},
                              {"m4b", Encoding::M4b, 44100, "aac"},
                              {"opus", Encoding::Opus, 48000, "opus"}};

std::uint64_t bigEndian(const std::string& bytes, std::size_t at, int count)
{
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i)
        value = value << 8 | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}

struct FlacMarkers {
    std::vector<std::pair<int, std::uint64_t>> tracks; // number, sample offset; the lead-out too
    std::vector<std::string> comments;
    std::string message;
};

// The cue sheet and the comments of a FLAC file, read from its blocks.
FlacMarkers flacMarkersOf(const std::string& path)
{
    FlacMarkers found;
    const std::string bytes = testmedia::readBytes(path);
    if (bytes.compare(0, 4, "fLaC") != 0) {
        found.message = "not a FLAC file";
        return found;
    }
    for (std::size_t at = 4; at + 4 <= bytes.size();) {
        const int type = static_cast<std::uint8_t>(bytes[at]) & 0x7f;
        const bool last = (static_cast<std::uint8_t>(bytes[at]) & 0x80) != 0;
        const std::size_t length = bigEndian(bytes, at + 1, 3);
        const std::size_t body = at + 4;
        if (type == 5) {
            std::size_t track = body + 128 + 8 + 259 + 1;
            for (std::size_t count = static_cast<std::uint8_t>(bytes[body + 395]); count > 0;
                 --count) {
                found.tracks.emplace_back(static_cast<std::uint8_t>(bytes[track + 8]),
                                          bigEndian(bytes, track, 8));
                const std::size_t points = static_cast<std::uint8_t>(bytes[track + 35]);
                track += 36 + 12 * points;
            }
        } else if (type == 4) {
            const auto little = [&](std::size_t from) {
                std::uint32_t value = 0;
                for (int i = 3; i >= 0; --i)
                    value = value << 8 |
                            static_cast<std::uint8_t>(bytes[from + static_cast<std::size_t>(i)]);
                return value;
            };
            std::size_t from = body + 4 + little(body);
            const std::uint32_t count = little(from);
            from += 4;
            for (std::uint32_t i = 0; i < count; ++i) {
                const std::uint32_t size = little(from);
                found.comments.push_back(bytes.substr(from + 4, size));
                from += 4 + size;
            }
        }
        at = body + length;
        if (last)
            break;
    }
    return found;
}

class EncodedJoin : public MediaFixture, public ::testing::WithParamInterface<Encoded> {
protected:
    OutputFormat format() const
    {
        OutputFormat chosen = outputFormatFor(pathOf(std::string("join.") + GetParam().extension));
        EXPECT_EQ(chosen.encoding, GetParam().encoding);
        EXPECT_EQ(chosen.sampleRate, GetParam().sampleRate);
        return chosen;
    }

    // Ten 30 s tones at the output's rate: a join long enough to stop or
    // kill while it runs.
    // Half an hour of a tone in sixty sources, for joins that are stopped
    // 40 seconds in: FLAC encodes it fast enough that a shorter join may end
    // before a test on a loaded machine gets to stop it.
    void planLongTones(RenderPlan& plan)
    {
        ToneSpec tone;
        tone.seconds = 30;
        tone.sampleRate = GetParam().sampleRate;
        const std::string path = makeTone("long", MediaFormat::WavS16, tone);
        ASSERT_FALSE(path.empty());
        MediaTime length = 0;
        ASSERT_EQ(measureDuration(path, length), result::kOk);
        plan = planOf(std::vector<std::pair<std::string, MediaTime>>(60, {path, length}), format());
    }

    MediaResult renderTo(const RenderPlan& plan, const std::string& output,
                         std::stop_token stop = {}, RenderProgress* progress = nullptr)
    {
        RenderProgress own;
        RenderOptions options;
        options.workers = 2;
        return renderJoin(plan, output, progress ? *progress : own, stop, options);
    }

    // The reference decoder of the format accepts the file, where there is one.
    static void expectOthersAccept(const std::string& output)
    {
        if (GetParam().encoding == Encoding::Flac) {
            EXPECT_EQ(testmedia::flacTestFailure(output), "");
        }
        if (GetParam().encoding == Encoding::Mp3) {
            const Tool checked = runTool("mp3val", {QString::fromStdString(output)});
            ASSERT_EQ(checked.exitCode, 0) << "mp3val (Debian package mp3val) could not run";
            EXPECT_FALSE(checked.out.contains("WARNING") || checked.out.contains("ERROR"))
                << checked.out.toStdString();
        }
    }
};

// A wav, an mp3, an ogg and an m4a source at three rates: the output holds
// exactly their lengths, and a marker at the first sample of each.
TEST_P(EncodedJoin, DecodesToTheJoinsLengthWithAMarkerAtEverySource)
{
    struct Source {
        const char* name;
        MediaFormat format;
        double seconds;
        int sampleRate;
        int channels;
    };
    // Lengths off the millisecond grid, so that a length or a marker kept
    // only to the millisecond shows.
    const Source sources[] = {{"first", MediaFormat::WavS16, 1.0213, 44100, 2},
                              {"second", MediaFormat::Mp3, 0.7071, 48000, 1},
                              {"third", MediaFormat::Ogg, 0.9137, 22050, 2},
                              {"fourth", MediaFormat::M4a, 1.1119, 44100, 2}};
    std::vector<std::pair<std::string, MediaTime>> items;
    for (const Source& source : sources) {
        ToneSpec tone;
        tone.seconds = source.seconds;
        tone.sampleRate = source.sampleRate;
        tone.channels = source.channels;
        const std::string path = makeTone(source.name, source.format, tone);
        if (skipped())
            GTEST_SKIP() << skipReason();
        MediaTime length = 0;
        ASSERT_EQ(measureDuration(path, length), result::kOk) << path;
        items.emplace_back(path, length);
    }
    const RenderPlan plan = planOf(items, format());
    const std::string output = pathOf(std::string("join.") + GetParam().extension);
    const MediaResult rendered = renderTo(plan, output);
    if (rendered == result::kNoEncoder)
        GTEST_SKIP() << "this FFmpeg has no encoder for " << GetParam().extension;
    ASSERT_EQ(rendered, result::kOk);
    ASSERT_EQ(testmedia::codecOf(output), GetParam().codec);

    EXPECT_EQ(playedFrames(output, GetParam().encoding), plan.totalFrames);
    expectOthersAccept(output);
    const std::vector<Marker> markers = markersOf(plan);
    ASSERT_EQ(markers.size(), 4u);
    if (GetParam().encoding == Encoding::Flac) {
        const FlacMarkers found = flacMarkersOf(output);
        ASSERT_TRUE(found.message.empty()) << found.message;
        ASSERT_EQ(found.tracks.size(), markers.size() + 1);
        for (std::size_t i = 0; i < markers.size(); ++i) {
            EXPECT_EQ(found.tracks[i].first, static_cast<int>(i) + 1);
            EXPECT_EQ(found.tracks[i].second, static_cast<std::uint64_t>(markers[i].frame))
                << "track " << i + 1;
        }
        EXPECT_EQ(found.tracks.back().first, 255);
        EXPECT_EQ(found.tracks.back().second, static_cast<std::uint64_t>(plan.totalFrames));
        EXPECT_NE(
            std::find(found.comments.begin(), found.comments.end(), "CHAPTER002NAME=second"),
            found.comments.end());
    }
    const std::vector<Chapter> chapters = chaptersOf(output);
    ASSERT_EQ(chapters.size(), markers.size());
    for (std::size_t i = 0; i < markers.size(); ++i) {
        EXPECT_EQ(chapters[i].ms,
                  av_rescale_rnd(markers[i].frame, 1000, plan.format.sampleRate, AV_ROUND_NEAR_INF))
            << "chapter " << i;
        EXPECT_EQ(chapters[i].title, markers[i].label);
    }
}

// A tone cut into three pieces at odd frames and joined back is the tone:
// no click, no shift, at each join, through the encoder and back.
TEST_P(EncodedJoin, SplitSineJoinsBackWithoutGapOrClick)
{
    const int rate = GetParam().sampleRate;
    const double frequency = 441.0;
    const double amplitude = 0.5;
    const std::int64_t lengths[] = {rate / 2 + 1237, rate / 3 + 311, rate};
    RenderPlan plan;
    plan.format = format();
    std::int64_t at = 0;
    for (std::size_t i = 0; i < std::size(lengths); ++i) {
        ToneSpec tone;
        tone.frequency = frequency;
        tone.amplitude = amplitude;
        tone.sampleRate = rate;
        tone.frames = lengths[i];
        tone.firstSample = at;
        const std::string path = makeTone("piece" + std::to_string(i), MediaFormat::WavS16, tone);
        ASSERT_FALSE(path.empty());
        PlannedSource source;
        source.path = path;
        source.firstFrame = at;
        at += lengths[i];
        source.endFrame = at;
        plan.sources.push_back(source);
    }
    plan.totalFrames = at;
    const std::string output = pathOf(std::string("join.") + GetParam().extension);
    const MediaResult rendered = renderTo(plan, output);
    if (rendered == result::kNoEncoder)
        GTEST_SKIP() << "this FFmpeg has no encoder for " << GetParam().extension;
    ASSERT_EQ(rendered, result::kOk);
    ASSERT_EQ(testmedia::codecOf(output), GetParam().codec);
    expectOthersAccept(output);
    const testmedia::ResampledSound sound = testmedia::resampleWithFfmpeg(output, rate, 2);
    ASSERT_TRUE(sound.ok) << sound.message;
    ASSERT_GE(sound.frames(2), plan.totalFrames);

    ToneSpec ideal;
    ideal.frequency = frequency;
    ideal.amplitude = amplitude;
    ideal.sampleRate = rate;
    const auto sample = [&](std::int64_t n) {
        return sound.samples[static_cast<std::size_t>(n * 2)];
    };
    const double idealStep = 2 * std::numbers::pi * frequency / rate * amplitude * 32767;
    const std::int64_t window = rate * 30 / 1000;
    for (std::size_t join = 1; join < plan.sources.size(); ++join) {
        const std::int64_t first = plan.sources[join].firstFrame;
        int largestStep = 0;
        for (std::int64_t n = first - window; n < first + window; ++n)
            largestStep = std::max(largestStep, std::abs(sample(n) - sample(n - 1)));
        int bestShift = 0;
        double bestRms = 1e9;
        for (int shift = -4; shift <= 4; ++shift) {
            double squaredError = 0;
            for (std::int64_t n = first - window; n < first + window; ++n) {
                const double error = sample(n) - testmedia::toneValue(ideal, n + shift) * 32767;
                squaredError += error * error;
            }
            const double rms =
                std::sqrt(squaredError / static_cast<double>(2 * window)) / (amplitude * 32767);
            if (rms < bestRms) {
                bestRms = rms;
                bestShift = shift;
            }
        }
        EXPECT_LE(largestStep, idealStep * 1.25) << "click at the join before piece " << join;
        EXPECT_EQ(bestShift, 0) << "the sound around join " << join << " is shifted";
        EXPECT_LT(bestRms, 0.02) << "the sound around join " << join << " is not the tone";
        std::cout << GetParam().extension << " join " << join << ": largest step " << largestStep
                  << " (ideal " << std::lround(idealStep) << "), RMS difference " << bestRms * 100
                  << "% of amplitude\n";
    }
}

// Stopped midway, the output is a finished file of what was complete, and
// it decodes to exactly that.
TEST_P(EncodedJoin, StopLeavesAFinishedFileOfWhatWasWritten)
{
    RenderPlan plan;
    ASSERT_NO_FATAL_FAILURE(planLongTones(plan));
    const std::string output = pathOf(std::string("join.") + GetParam().extension);

    RenderProgress progress;
    std::stop_source stop;
    MediaResult rendered = result::kOk;
    std::atomic<bool> ended{false};
    std::jthread renderer([&] {
        rendered = renderTo(plan, output, stop.get_token(), &progress);
        ended.store(true);
    });
    // Stopped 40 seconds in, or at once if it ends sooner (no encoder).
    waitForProgress(progress, ended, 40 * std::int64_t{GetParam().sampleRate});
    stop.request_stop();
    renderer.join();
    if (rendered == result::kNoEncoder)
        GTEST_SKIP() << "this FFmpeg has no encoder for " << GetParam().extension;
    ASSERT_EQ(rendered, result::kStopped);
    ASSERT_EQ(testmedia::codecOf(output), GetParam().codec);
    const std::int64_t complete = progress.framesComplete.load();
    EXPECT_GT(complete, 0);
    EXPECT_LT(complete, plan.totalFrames);
    EXPECT_EQ(playedFrames(output, GetParam().encoding), complete);
    expectOthersAccept(output);
    // Only the sources reached keep a marker, and no chapter runs past the sound.
    const std::size_t reached = static_cast<std::size_t>(
        std::count_if(plan.sources.begin(), plan.sources.end(),
                      [&](const PlannedSource& source) { return source.firstFrame < complete; }));
    const std::vector<Chapter> chapters = chaptersOf(output);
    EXPECT_EQ(chapters.size(), reached);
    // Ogg's chapter comments give no end; libavformat guesses one from the
    // stream's length before its pre-skip.
    const std::int64_t soundMs = av_rescale(complete, 1000, GetParam().sampleRate);
    if (GetParam().encoding != Encoding::Opus) {
        for (const Chapter& chapter : chapters)
            EXPECT_LE(chapter.endMs, soundMs + 1) << chapter.title << " runs past the sound";
    }
    if (GetParam().encoding == Encoding::Flac) {
        const auto found = flacMarkersOf(output);
        ASSERT_EQ(found.tracks.size(), reached + 1);
        EXPECT_EQ(found.tracks.back().second, static_cast<std::uint64_t>(complete));
    }
    struct stat status {};
    EXPECT_NE(::stat((output + ".part").c_str(), &status), 0) << "the partial file is left";
}

// While the join runs, its partial file is what a kill leaves: it names no
// source, not even the one being written, as a chapter; the markers go in
// when the join ends.
TEST_P(EncodedJoin, APartialFileNamesNoSourceAsAChapter)
{
    constexpr off_t kSomeSoundBytes = 256 * 1024;
    RenderPlan plan;
    ASSERT_NO_FATAL_FAILURE(planLongTones(plan));
    const std::string output = pathOf(std::string("join.") + GetParam().extension);
    const std::string partial = output + ".part";

    RenderProgress progress;
    std::stop_source stop;
    std::atomic<MediaResult> rendered = result::kOk;
    std::atomic<bool> ended = false;
    std::jthread renderer([&] {
        rendered = renderTo(plan, output, stop.get_token(), &progress);
        ended = true;
    });
    // 40 seconds in, and with sound in the partial file: encoders that work
    // on stretches at once write the file some seconds behind the progress.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    const auto partialBytes = [&partial] {
        struct stat status {};
        return ::stat(partial.c_str(), &status) == 0 ? status.st_size : 0;
    };
    while ((progress.framesComplete.load() < 40 * GetParam().sampleRate || partialBytes() < kSomeSoundBytes) &&
           !ended && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const std::string written = testmedia::readBytes(partial);
    const bool running = !ended;
    stop.request_stop();
    renderer.join();
    if (rendered == result::kNoEncoder)
        GTEST_SKIP() << "this FFmpeg has no encoder for " << GetParam().extension;
    ASSERT_TRUE(running) << "the join ended before its partial file could be looked at";
    ASSERT_FALSE(written.empty());
    std::ofstream(pathOf("copy.part"), std::ios::binary) << written;
    const std::string copy = pathOf("copy.part");
    switch (GetParam().encoding) {
    case Encoding::Flac: {
        const FlacMarkers found = flacMarkersOf(copy);
        ASSERT_TRUE(found.message.empty()) << found.message;
        EXPECT_TRUE(found.tracks.empty()) << found.tracks.size() << " cue sheet tracks";
        for (const std::string& comment : found.comments)
            EXPECT_NE(comment.substr(0, 7), "CHAPTER") << comment;
        break;
    }
    case Encoding::Mp3:
    case Encoding::Opus:
        EXPECT_TRUE(chaptersOf(copy).empty()) << chaptersOf(copy).size() << " chapters";
        break;
    case Encoding::M4a:
    case Encoding::M4b:
        // No index yet: no reader takes it for a file, let alone its chapters.
        EXPECT_EQ(written.find("moov"), std::string::npos);
        EXPECT_EQ(written.find("chpl"), std::string::npos);
        break;
    case Encoding::Wav:
    case Encoding::Aiff:
        break;
    }
}

// Stopped before anything was written, the old output stays as it was.
TEST_P(EncodedJoin, AJoinThatWritesNothingLeavesTheOldOutputAlone)
{
    const std::string path = makeTone("tone", MediaFormat::WavS16, ToneSpec{});
    ASSERT_FALSE(path.empty());
    const RenderPlan plan = planOf({{path, 10'000'000}}, format());
    const std::string output = pathOf(std::string("join.") + GetParam().extension);
    std::ofstream(output) << "the old join";
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(renderTo(plan, output, stop.get_token()), result::kStopped);
    EXPECT_EQ(testmedia::readBytes(output), "the old join");
    struct stat status {};
    EXPECT_NE(::stat((output + ".part").c_str(), &status), 0) << "the partial file is left";
}

// A name that is not UTF-8 (Latin-1 here, as older systems wrote them)
// comes out as valid UTF-8, with what cannot be decoded replaced, in every
// container whose text must be UTF-8.
TEST_P(EncodedJoin, ANameThatIsNotUtf8BecomesValidUtf8)
{
    const std::string tone = makeTone("tone", MediaFormat::WavS16, ToneSpec{});
    ASSERT_FALSE(tone.empty());
    const std::string named = pathOf("caf\xe9 \xff \xc3\xa9.wav");
    ASSERT_EQ(::link(tone.c_str(), named.c_str()), 0);
    MediaTime length = 0;
    ASSERT_EQ(measureDuration(named, length), result::kOk);
    const RenderPlan plan = planOf({{tone, length}, {named, length}}, format());
    const std::string output = pathOf(std::string("join.") + GetParam().extension);
    const MediaResult rendered = renderTo(plan, output);
    if (rendered == result::kNoEncoder)
        GTEST_SKIP() << "this FFmpeg has no encoder for " << GetParam().extension;
    ASSERT_EQ(rendered, result::kOk);

    const std::string expected = "caf\xef\xbf\xbd \xef\xbf\xbd \xc3\xa9";
    const std::vector<Chapter> chapters = chaptersOf(output);
    ASSERT_EQ(chapters.size(), 2u);
    EXPECT_EQ(chapters[1].title, expected);
    if (GetParam().encoding == Encoding::Flac) {
        const std::vector<std::string> comments = flacMarkersOf(output).comments;
        EXPECT_THAT(comments, ::testing::Contains("CHAPTER002NAME=" + expected));
        expectOthersAccept(output);
    }
}

// At the list's limit of 1,000 sources every reader sees each chapter once,
// under its own name. Chapter comments (FLAC, Opus) number three digits: they
// name the first 999 sources and leave the last out.
TEST_P(EncodedJoin, AThousandSourcesGiveEachChapterOnceUnderItsName)
{
    ToneSpec tone;
    tone.frames = 480;
    tone.sampleRate = GetParam().sampleRate;
    const std::string path = makeTone("tone", MediaFormat::WavS16, tone);
    ASSERT_FALSE(path.empty());
    MediaTime length = 0;
    ASSERT_EQ(measureDuration(path, length), result::kOk);
    std::vector<std::pair<std::string, MediaTime>> items;
    for (int i = 1; i <= 1000; ++i) {
        const std::string name = pathOf("source " + std::to_string(i) + ".wav");
        ASSERT_EQ(::link(path.c_str(), name.c_str()), 0);
        items.emplace_back(name, length);
    }
    const RenderPlan plan = planOf(items, format());
    const std::string output = pathOf(std::string("join.") + GetParam().extension);
    const MediaResult rendered = renderTo(plan, output);
    if (rendered == result::kNoEncoder)
        GTEST_SKIP() << "this FFmpeg has no encoder for " << GetParam().extension;
    ASSERT_EQ(rendered, result::kOk);

    const bool numberedComments =
        GetParam().encoding == Encoding::Flac || GetParam().encoding == Encoding::Opus;
    const std::vector<Chapter> chapters = chaptersOf(output);
    ASSERT_EQ(chapters.size(), numberedComments ? 999u : 1000u);
    const std::vector<Marker> markers = markersOf(plan);
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        EXPECT_EQ(chapters[i].title, markers[i].label) << "chapter " << i + 1;
        EXPECT_EQ(chapters[i].ms, av_rescale_rnd(markers[i].frame, 1000, plan.format.sampleRate,
                                                 AV_ROUND_NEAR_INF))
            << "chapter " << i + 1;
    }
    expectOthersAccept(output);
}

INSTANTIATE_TEST_SUITE_P(Formats, EncodedJoin, ::testing::ValuesIn(kEncodings), nameOf);

// The chapters that MP3 and Ogg Opus carry before the sound are cut back in
// place; nothing after them moves, and the sound stays exactly as it was.
class EarlyChaptersTest : public MediaFixture {
protected:
    // A finished join of `count` one-second sources with long names, not
    // all ASCII, at `output`: the names alone fill more than one Ogg page.
    RenderPlan joinWithLongNames(int count, const std::string& output)
    {
        ToneSpec tone;
        tone.seconds = 1;
        const std::string path = makeTone("tone", MediaFormat::WavS16, tone);
        MediaTime length = 0;
        EXPECT_EQ(measureDuration(path, length), result::kOk);
        std::vector<std::pair<std::string, MediaTime>> items;
        for (int i = 0; i < count; ++i) {
            const std::string name = pathOf(std::to_string(i) + "\xc3\xa9" + std::string(236, 'n') + ".wav");
            EXPECT_EQ(::link(path.c_str(), name.c_str()), 0);
            items.emplace_back(name, length);
        }
        const RenderPlan plan = planOf(items, outputFormatFor(output));
        RenderProgress progress;
        RenderOptions options;
        options.workers = 2;
        EXPECT_EQ(renderJoin(plan, output, progress, {}, options), result::kOk);
        return plan;
    }
};

TEST_F(EarlyChaptersTest, AnOpusCommentHeaderOverSeveralPagesKeepsItsFirstChapters)
{
    const std::string output = pathOf("join.opus");
    const RenderPlan plan = joinWithLongNames(300, output);
    ASSERT_EQ(chaptersOf(output).size(), 300u);
    const std::string before = testmedia::readBytes(output);
    const testmedia::ResampledSound soundBefore = testmedia::resampleWithFfmpeg(output, 48000, 2);
    ASSERT_TRUE(soundBefore.ok) << soundBefore.message;

    const int fd = ::open(output.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(keepOpusChapters(fd, 5), result::kOk);
    ::close(fd);

    const std::vector<Chapter> chapters = chaptersOf(output);
    ASSERT_EQ(chapters.size(), 5u);
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        EXPECT_EQ(chapters[i].title, markersOf(plan)[i].label);
        EXPECT_EQ(chapters[i].ms, static_cast<std::int64_t>(i) * 1000);
    }
    const std::string after = testmedia::readBytes(output);
    ASSERT_EQ(after.size(), before.size());
    // The header pages: the identification page, then the comment header's
    // first page and the pages that continue it.
    std::size_t sound = 0;
    int continued = 0;
    for (int page = 0; sound + 27 <= before.size(); ++page) {
        if (page >= 2 && (before[sound + 5] & 1) == 0)
            break;
        continued += page >= 2;
        const std::size_t segments = static_cast<std::uint8_t>(before[sound + 26]);
        std::size_t body = 0;
        for (std::size_t i = 0; i < segments; ++i)
            body += static_cast<std::uint8_t>(before[sound + 27 + i]);
        sound += 27 + segments + body;
    }
    EXPECT_GE(continued, 1) << "the comment header fits one page";
    EXPECT_NE(after.substr(0, sound), before.substr(0, sound));
    EXPECT_EQ(after.substr(sound), before.substr(sound));
    const testmedia::ResampledSound soundAfter = testmedia::resampleWithFfmpeg(output, 48000, 2);
    ASSERT_TRUE(soundAfter.ok) << soundAfter.message;
    EXPECT_TRUE(soundAfter.samples == soundBefore.samples);
}

TEST_F(EarlyChaptersTest, AnId3TagIsReplacedByASmallerOneOnlyAndPaddedToItsSize)
{
    const std::string output = pathOf("join.mp3");
    const RenderPlan plan = joinWithLongNames(20, output);
    const std::vector<Chapter> chapters = chaptersOf(output);
    ASSERT_EQ(chapters.size(), 20u);
    for (std::size_t i = 0; i < chapters.size(); ++i)
        EXPECT_EQ(chapters[i].title, markersOf(plan)[i].label);
    const std::string before = testmedia::readBytes(output);
    // ID3v2.3 with one title frame.
    const std::string title = "stopped";
    std::string bytes = std::string("ID3\3\0\0\0\0\0", 10) + "TIT2" + std::string(3, '\0') +
                        char(1 + title.size()) + std::string(3, '\0') + title;
    bytes[9] = static_cast<char>(bytes.size() - 10);
    const std::vector<std::uint8_t> tag(bytes.begin(), bytes.end());

    const int fd = ::open(output.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    std::vector<std::uint8_t> larger = tag;
    larger.resize(before.size() + 1, 0);
    larger[6] = larger[7] = larger[8] = larger[9] = 0x7f;
    EXPECT_EQ(replaceId3Tag(fd, larger), result::kUnexpected);
    EXPECT_EQ(testmedia::readBytes(output), before);
    EXPECT_EQ(replaceId3Tag(fd, tag), result::kOk);
    ::close(fd);

    const std::string after = testmedia::readBytes(output);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_TRUE(chaptersOf(output).empty());
    EXPECT_EQ(playedFrames(output, Encoding::Mp3), 20 * 44100);
    const std::size_t sound = before.find("Xing") != std::string::npos ? before.find("Xing") : before.find("Info");
    ASSERT_NE(sound, std::string::npos);
    EXPECT_EQ(after.substr(sound), before.substr(sound));
}

TEST(OutputFormatFor, TheExtensionChoosesTheEncodingInAnyCase)
{
    const struct {
        const char* path;
        Encoding encoding;
        int sampleRate;
    } cases[] = {{"/a/join.wav", Encoding::Wav, 44100}, {"/a/join.FLAC", Encoding::Flac, 44100},
                 {"join.Mp3", Encoding::Mp3, 44100},    {"/a/join.opus", Encoding::Opus, 48000},
                 {"/a/join.m4a", Encoding::M4a, 44100}, {"/a/join.ogg", Encoding::Opus, 48000},
                 {"/a/join.AIF", Encoding::Aiff, 44100}, {"/a/join.aiff", Encoding::Aiff, 44100},
                 {"/a/join.Ogg", Encoding::Opus, 48000}, {"/a/join.AiFf", Encoding::Aiff, 44100},
                 {"/a/join.txt", Encoding::Wav, 44100},  {"/a/book.M4B", Encoding::M4b, 44100},
                 {"/a/join", Encoding::Wav, 44100},     {"/a.flac/join", Encoding::Wav, 44100},
                 {"/a/.mp3", Encoding::Mp3, 44100},     {"/a/join.mp3.part", Encoding::Wav, 44100}};
    for (const auto& each : cases) {
        const OutputFormat format = outputFormatFor(each.path);
        EXPECT_EQ(format.encoding, each.encoding) << each.path;
        EXPECT_EQ(format.sampleRate, each.sampleRate) << each.path;
        EXPECT_EQ(format.channels, 2);
        EXPECT_EQ(format.bitsPerSample, 16);
    }
}

// The names refused before a join and the names the engine writes as more
// than WAV never meet: a format the engine learns to write is no longer refused.
TEST(OutputFormatFor, NoNameItWritesIsRefused)
{
    for (const char* extension : {"wav", "flac", "mp3", "m4a", "m4b", "opus", "ogg", "oga", "aif", "aiff", "aifc",
                                  "aac", "wma", "mp4", "mkv", "mka", "webm", "caf", "w64", "txt"}) {
        const std::string path = std::string("/a/join.") + extension;
        EXPECT_FALSE(isUnwritableMediaName(path) && outputFormatFor(path).encoding != Encoding::Wav) << path;
    }
}

} // namespace
} // namespace kestrine::testing

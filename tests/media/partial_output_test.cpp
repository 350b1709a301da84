// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/media/media_fixture.h"

#include "media/output_file.h"
#include "media/wav_header.h"

#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;

std::string prefixOf(const std::string& path, std::size_t bytes)
{
    std::ifstream in(path, std::ios::binary);
    std::string prefix(bytes, '\0');
    in.read(prefix.data(), static_cast<std::streamsize>(bytes));
    prefix.resize(static_cast<std::size_t>(in.gcount()));
    return prefix;
}

bool exists(const std::string& path)
{
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

testmedia::ToneSpec toneOf(double seconds)
{
    testmedia::ToneSpec tone;
    tone.seconds = seconds;
    return tone;
}

// Renders `plan` on a thread and calls `meanwhile` once some of it is
// complete, then lets it finish or stops it. A render that ends, or stalls,
// before anything is complete is not waited on: its result says why, and
// `meanwhile` is not called.
MediaResult renderWhile(const RenderPlan& plan, const std::string& output,
                        const std::function<void(const RenderProgress&)>& meanwhile, bool thenStop,
                        const RenderOptions& options = {})
{
    RenderProgress progress;
    std::stop_source stop;
    MediaResult rendered = result::kOk;
    std::atomic<bool> ended{false};
    std::jthread renderer([&] {
        rendered = renderToWav(plan, output, progress, stop.get_token(), options);
        ended.store(true);
    });
    const bool begun = waitForProgress(progress, ended);
    if (begun)
        meanwhile(progress);
    if (thenStop || !begun)
        stop.request_stop();
    renderer.join();
    EXPECT_TRUE(begun) << "nothing of the join was complete before it ended or in time";
    return rendered;
}

// While a join runs, the old output stays whole and the work goes into a
// partial file beside it; at the end the new file takes the old one's place.
TEST_F(MediaFixture, TheOldOutputIsReplacedOnlyWhenTheJoinEnds)
{
    const std::string source = makeTone("long", MediaFormat::Mp3, toneOf(60));
    if (skipped())
        GTEST_SKIP() << skipReason();
    const std::string output = pathOf("join.wav");
    std::ofstream(output) << "the old join";
    ::chmod(output.c_str(), 0640);
    const RenderPlan plan = planOf({{source, seconds(60)}});

    const MediaResult rendered = renderWhile(
        plan, output,
        [&](const RenderProgress&) {
            EXPECT_EQ(testmedia::readBytes(output), "the old join");
            EXPECT_TRUE(exists(output + ".part"));
        },
        false);

    ASSERT_EQ(rendered, result::kOk);
    EXPECT_FALSE(exists(output + ".part"));
    const testmedia::WavData wav = testmedia::readWav(output);
    ASSERT_TRUE(wav.ok) << wav.message;
    EXPECT_EQ(wav.frames(), plan.totalFrames);
    struct stat status {};
    ASSERT_EQ(::stat(output.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u) << "the new file keeps the old one's permissions";
}

// The partial file's header is rewritten as the work goes on, and never
// claims a frame that is not complete from the start.
TEST_F(MediaFixture, ThePartialFilesHeaderClaimsOnlyCompleteFrames)
{
    const std::string source = makeTone("long", MediaFormat::Mp3, toneOf(60));
    if (skipped())
        GTEST_SKIP() << skipReason();
    const std::string output = pathOf("join.wav");
    const RenderPlan plan = planOf(std::vector<std::pair<std::string, MediaTime>>(10, {source, seconds(60)}));
    RenderOptions often;
    often.claimInterval = std::chrono::milliseconds(5);
    std::int64_t claimedWhileRunning = 0;
    std::string partialPrefix;

    const MediaResult rendered = renderWhile(
        plan, output,
        [&](const RenderProgress& progress) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (claimedWhileRunning == 0 && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                const PcmWavLayout layout = readPcmWavLayout(output + ".part");
                const std::int64_t complete = progress.framesComplete.load();
                if (!layout.valid)
                    continue;
                const auto claimed = static_cast<std::int64_t>(layout.dataBytes / 4);
                EXPECT_LE(claimed, complete);
                if (claimed > 0) {
                    claimedWhileRunning = claimed;
                    partialPrefix = prefixOf(output + ".part", static_cast<std::size_t>(80 + claimed * 4));
                }
            }
        },
        true, often);

    ASSERT_EQ(rendered, result::kStopped);
    EXPECT_GT(claimedWhileRunning, 0) << "the header never claimed anything while the join ran";
    EXPECT_LT(claimedWhileRunning, plan.totalFrames);
    // What the header claimed then is exactly what the finished file holds there.
    const std::string finished = testmedia::readBytes(output);
    ASSERT_GE(finished.size(), partialPrefix.size());
    EXPECT_TRUE(finished.compare(80, partialPrefix.size() - 80, partialPrefix, 80) == 0);
}

// A join that fails before anything is complete leaves no file, and an old
// output as it was.
TEST_F(MediaFixture, AJoinThatWritesNothingLeavesTheOldOutputAlone)
{
    const std::string output = pathOf("join.wav");
    std::ofstream(output) << "the old join";
    ASSERT_TRUE(testmedia::writeBytes(pathOf("words.mp3"), "only words, no sound\n"));
    const RenderPlan plan = planOf({{pathOf("words.mp3"), seconds(1)}});
    EXPECT_EQ(render(plan, output), AVERROR_INVALIDDATA);
    EXPECT_EQ(testmedia::readBytes(output), "the old join");
    EXPECT_FALSE(exists(output + ".part"));

    const std::string fresh = pathOf("fresh.wav");
    EXPECT_EQ(render(plan, fresh), AVERROR_INVALIDDATA);
    EXPECT_FALSE(exists(fresh));
    EXPECT_FALSE(exists(fresh + ".part"));
}

// The partial file, or the folder it is in, removed while the join writes:
// reported, not mistaken for success.
struct LostOutputCase {
    const char* name;
    bool removeFolder;
};

void PrintTo(const LostOutputCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class LostOutput : public MediaFixture, public ::testing::WithParamInterface<LostOutputCase> {};

TEST_P(LostOutput, IsReportedWhenTheJoinEnds)
{
    const std::string source = makeTone("long", MediaFormat::Mp3, toneOf(60));
    if (skipped())
        GTEST_SKIP() << skipReason();
    ASSERT_EQ(::mkdir(pathOf("out").c_str(), 0755), 0);
    const std::string output = pathOf("out/join.wav");
    const RenderPlan plan = planOf({{source, seconds(60)}});

    const MediaResult rendered = renderWhile(
        plan, output,
        [&](const RenderProgress&) {
            ASSERT_EQ(::unlink((output + ".part").c_str()), 0);
            if (GetParam().removeFolder) {
                ASSERT_EQ(::rmdir(pathOf("out").c_str()), 0);
            }
        },
        false);

    EXPECT_EQ(rendered, result::kOutputLost);
    EXPECT_FALSE(exists(output));
}

INSTANTIATE_TEST_SUITE_P(Removals, LostOutput,
                         ::testing::Values(LostOutputCase{"PartialFile", false},
                                           LostOutputCase{"ItsFolder", true}),
                         [](const auto& tested) { return std::string(tested.param.name); });

// A file size limit makes every write past it fail as a full disk does,
// without needing a small disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limited = previous_;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

struct FullDiskCase {
    const char* name;
    rlim_t limitBytes;
    bool leavesFile;
};

void PrintTo(const FullDiskCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class FullDisk : public MediaFixture, public ::testing::WithParamInterface<FullDiskCase> {};

TEST_P(FullDisk, LeavesAValidWavOfWhatWasWrittenOrNone)
{
    testmedia::ToneSpec tone = toneOf(2);
    const std::string source = makeTone("tone", MediaFormat::Flac, tone);
    if (skipped())
        GTEST_SKIP() << skipReason();
    const std::string output = pathOf("join.wav");
    std::ofstream(output) << "the old join";
    const RenderPlan plan = planOf({{source, seconds(2)}});

    MediaResult rendered = result::kOk;
    {
        const FileSizeLimit limit(GetParam().limitBytes);
        rendered = render(plan, output);
    }

    EXPECT_EQ(rendered, result::kDiskFull);
    EXPECT_FALSE(exists(output + ".part"));
    if (!GetParam().leavesFile) {
        EXPECT_EQ(testmedia::readBytes(output), "the old join");
        return;
    }
    const testmedia::WavData wav = testmedia::readWav(output);
    ASSERT_TRUE(wav.ok) << wav.message << ": " << testmedia::readBytes(output).size() << " bytes";
    EXPECT_GT(wav.frames(), 0);
    EXPECT_EQ(wav.frames(), wav.headerFrames);
    EXPECT_EQ(wav.frames(), lastComplete());
    // What is there is the tone, not zeros.
    EXPECT_NEAR(frequencyOf(wav, 0, wav.frames()), tone.frequency, 5.0);
}

INSTANTIATE_TEST_SUITE_P(Limits, FullDisk,
                         ::testing::Values(FullDiskCase{"NoRoomForTheHeader", 40, false},
                                           FullDiskCase{"RoomForPart", 80 + 65536 * 4 + 4096, true}),
                         [](const auto& tested) { return std::string(tested.param.name); });

// A compressed join that meets a full disk cannot finish its container: it
// says so, and the old output stays.
TEST_F(MediaFixture, AFullDiskEndsACompressedJoinAndLeavesTheOldOutput)
{
    testmedia::ToneSpec tone = toneOf(20);
    const std::string source = makeTone("tone", MediaFormat::WavS16, tone);
    ASSERT_FALSE(source.empty());
    for (const char* name : {"join.flac", "join.mp3", "join.m4a", "join.opus"}) {
        const std::string output = pathOf(name);
        std::ofstream(output) << "the old join";
        RenderPlan plan = planOf({{source, seconds(20)}});
        plan.format = outputFormatFor(output);
        plan.sources[0].endFrame = plan.totalFrames = frameAt(seconds(20), plan.format.sampleRate);
        RenderProgress progress;
        MediaResult rendered = result::kOk;
        {
            const FileSizeLimit limit(64 * 1024);
            rendered = renderJoin(plan, output, progress, {});
        }
        EXPECT_EQ(rendered, result::kDiskFull) << name;
        EXPECT_FALSE(exists(output + ".part")) << name;
        EXPECT_EQ(testmedia::readBytes(output), "the old join") << name;
    }
}

// Long stretches of silence are written in pieces that each look at the
// stop. The file is made for no frames, so no disk needs room for the ten
// hours asked for, and a size limit stands in for the disk: a silence that
// ignored the stop would meet it and fail as a full disk, instead of stopping.
TEST_F(MediaFixture, StopEndsALongSilenceAtOnce)
{
    constexpr std::int64_t kTenHours = std::int64_t{44100} * 3600 * 10; // 6.35 GB
    constexpr std::int64_t kUnderWay = 1 << 20;
    std::unique_ptr<OutputFile> file;
    ASSERT_EQ(OutputFile::create(pathOf("silence.wav"), OutputFormat{}, 0, file), result::kOk);
    const FileSizeLimit limit(rlim_t{256} << 20);

    std::stop_source stop;
    std::atomic<bool> ended{false};
    MediaResult written = result::kOk;
    std::jthread writer([&] {
        written = file->writeSilence(0, kTenHours, stop.get_token());
        ended.store(true);
    });
    // Stopped once the silence is under way.
    const auto sizeNow = [&] {
        struct stat status {};
        return ::fstat(file->descriptor(), &status) == 0 ? static_cast<std::int64_t>(status.st_size) : 0;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (sizeNow() < kUnderWay && !ended.load() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const std::int64_t atStop = sizeNow();
    stop.request_stop();
    writer.join();

    EXPECT_GE(atStop, kUnderWay) << "the silence did not get under way";
    EXPECT_EQ(written, result::kStopped);
    file->discard();
}

} // namespace
} // namespace kestrine::testing

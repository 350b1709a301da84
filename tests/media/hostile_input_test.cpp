// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/media/media_fixture.h"

#include <QFileInfo>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;

testmedia::ToneSpec toneOf(double seconds, double frequency = 440.0)
{
    testmedia::ToneSpec tone;
    tone.seconds = seconds;
    tone.frequency = frequency;
    return tone;
}

// Names that are not regular files are refused before anything opens them:
// a pipe would wait for a writer for ever, a device would never end.
struct NotAFileCase {
    const char* name;
    std::function<bool(const std::string& path)> make;
};

void PrintTo(const NotAFileCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class NotARegularFile : public MediaFixture, public ::testing::WithParamInterface<NotAFileCase> {};

TEST_P(NotARegularFile, IsRefusedWithoutWaiting)
{
    const std::string path = pathOf("x.mp3");
    if (!GetParam().make(path))
        GTEST_SKIP() << "this system would not make the file system object";
    MediaTime duration = 0;
    EXPECT_EQ(measureDuration(path, duration), result::kSourceNotRegularFile);
    const std::string wav = pathOf("y.wav");
    ASSERT_EQ(::symlink(path.c_str(), wav.c_str()), 0);
    EXPECT_EQ(measureDuration(wav, duration), result::kSourceNotRegularFile);
    EXPECT_EQ(render(planOf({{path, seconds(1)}}), pathOf("join.wav")), result::kSourceNotRegularFile);
    EXPECT_EQ(render(planOf({{wav, seconds(1)}}), pathOf("join.wav")), result::kSourceNotRegularFile);
}

INSTANTIATE_TEST_SUITE_P(
    Objects, NotARegularFile,
    ::testing::Values(NotAFileCase{"Pipe", [](const std::string& p) { return ::mkfifo(p.c_str(), 0644) == 0; }},
                      NotAFileCase{"Folder", [](const std::string& p) { return ::mkdir(p.c_str(), 0755) == 0; }},
                      NotAFileCase{"Device",
                                   [](const std::string& p) { return ::symlink("/dev/zero", p.c_str()) == 0; }},
                      NotAFileCase{"Socket",
                                   [](const std::string& p) {
                                       sockaddr_un address{};
                                       address.sun_family = AF_UNIX;
                                       if (p.size() >= sizeof address.sun_path)
                                           return false;
                                       p.copy(address.sun_path, p.size());
                                       const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
                                       const bool bound =
                                           ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
                                       ::close(fd);
                                       return bound;
                                   }}),
    [](const auto& tested) { return std::string(tested.param.name); });

std::string littleEndian(std::uint32_t value)
{
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>(value >> (8 * i)));
    return bytes;
}

// A WAV header whose rate is far past anything a resampler should be asked to
// convert: refused with its reason instead of running for minutes.
TEST_F(MediaFixture, ARateBeyondReasonIsRefused)
{
    const std::uint32_t rate = 1000000000;
    std::string wav = "RIFF" + littleEndian(36 + 4000) + "WAVEfmt " + littleEndian(16);
    wav += std::string("\x01\x00\x01\x00", 4) + littleEndian(rate) + littleEndian(rate * 2) +
           std::string("\x02\x00\x10\x00", 4) + "data" + littleEndian(4000) + std::string(4000, '\x10');
    const std::string path = pathOf("fast.wav");
    ASSERT_TRUE(testmedia::writeBytes(path, wav));
    MediaTime duration = 0;
    EXPECT_EQ(measureDuration(path, duration), result::kUnsupportedRate);
    EXPECT_EQ(render(planOf({{path, seconds(1)}}), pathOf("join.wav")), result::kUnsupportedRate);
}

// Ogg's page checksum: CRC-32 with polynomial 0x04C11DB7, no reflection.
std::uint32_t oggChecksum(const std::string& page)
{
    std::uint32_t crc = 0;
    for (const char byte : page) {
        crc ^= static_cast<std::uint32_t>(static_cast<unsigned char>(byte)) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

// The last page of an Ogg file claims a granule position of days: the length
// measured is what the file holds, not what its last timestamp says.
TEST_F(MediaFixture, AnOggLengthThatItsSizeCannotHoldIsCounted)
{
    const std::string path = makeTone("tone", MediaFormat::Ogg, toneOf(2));
    if (skipped())
        GTEST_SKIP() << skipReason();
    std::string bytes = testmedia::readBytes(path);
    const std::size_t last = bytes.rfind("OggS");
    ASSERT_NE(last, std::string::npos);
    const std::size_t segments = static_cast<unsigned char>(bytes[last + 26]);
    std::size_t pageSize = 27 + segments;
    for (std::size_t i = 0; i < segments; ++i)
        pageSize += static_cast<unsigned char>(bytes[last + 27 + i]);
    ASSERT_EQ(last + pageSize, bytes.size());
    const std::uint64_t granule = std::uint64_t{44100} * 3600 * 50; // fifty hours
    for (int i = 0; i < 8; ++i)
        bytes[last + 6 + static_cast<std::size_t>(i)] = static_cast<char>(granule >> (8 * i));
    bytes.replace(last + 22, 4, std::string(4, '\0'));
    bytes.replace(last + 22, 4, littleEndian(oggChecksum(bytes.substr(last, pageSize))));
    ASSERT_TRUE(testmedia::writeBytes(path, bytes));

    MediaTime duration = 0;
    ASSERT_EQ(measureDuration(path, duration), result::kOk);
    EXPECT_NEAR(static_cast<double>(duration) / kUnitsPerSecond, 2.0, 0.05);
}

// FFmpeg reads "concat:…", "pipe:…" and "name:…" as protocols; a file of that
// name is a file, and the sound joined is its own.
struct ProtocolNameCase {
    const char* name;
    const char* fileName;
};

void PrintTo(const ProtocolNameCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class ProtocolLikeName : public MediaFixture, public ::testing::WithParamInterface<ProtocolNameCase> {
protected:
    void SetUp() override
    {
        char here[4096];
        ASSERT_NE(::getcwd(here, sizeof here), nullptr);
        workingFolder_ = here;
        ASSERT_EQ(::chdir(folder().c_str()), 0);
    }
    void TearDown() override { ASSERT_EQ(::chdir(workingFolder_.c_str()), 0); }

private:
    std::string workingFolder_;
};

TEST_P(ProtocolLikeName, IsOpenedAsAFile)
{
    // The file a protocol would reach instead: shorter, and another tone.
    const std::string decoy = makeTone("x", MediaFormat::Flac, toneOf(1, 1000));
    const std::string named = makeTone("named", MediaFormat::Flac, toneOf(2, 440));
    if (skipped())
        GTEST_SKIP() << skipReason();
    const std::string relative = GetParam().fileName;
    ASSERT_EQ(::rename(named.c_str(), relative.c_str()), 0);

    MediaTime duration = 0;
    ASSERT_EQ(measureDuration(relative, duration), result::kOk);
    EXPECT_EQ(duration, seconds(2));
    ASSERT_EQ(render(planOf({{relative, seconds(2)}}), "join.wav"), result::kOk);
    const testmedia::WavData wav = testmedia::readWav("join.wav");
    ASSERT_TRUE(wav.ok) << wav.message;
    EXPECT_NEAR(frequencyOf(wav, 0, wav.frames()), 440.0, 2.0);
}

INSTANTIATE_TEST_SUITE_P(Names, ProtocolLikeName,
                         ::testing::Values(ProtocolNameCase{"Concat", "concat:x.flac"},
                                           ProtocolNameCase{"Pipe", "pipe:0.flac"},
                                           ProtocolNameCase{"DriveLike", "Part1:Intro.flac"}),
                         [](const auto& tested) { return std::string(tested.param.name); });

// A source cut short while it is read is a failure that names the reason,
// not a join that quietly fills the rest with silence.
TEST_F(MediaFixture, ASourceThatShrinksWhileReadFailsTheJoin)
{
    const std::string source = makeTone("long", MediaFormat::Mp3, toneOf(120));
    if (skipped())
        GTEST_SKIP() << skipReason();
    const RenderPlan plan = planOf({{source, seconds(120)}});
    RenderProgress progress;
    std::stop_source stop;
    MediaResult rendered = result::kOk;
    std::atomic<bool> ended{false};
    std::jthread renderer([&] {
        rendered = renderToWav(plan, pathOf("join.wav"), progress, stop.get_token(), {});
        ended.store(true);
    });
    if (!waitForProgress(progress, ended)) {
        stop.request_stop();
        renderer.join();
        FAIL() << "nothing of the join was complete before it ended or in time: " << rendered;
    }
    ASSERT_EQ(::truncate(source.c_str(), 20000), 0);
    renderer.join();
    EXPECT_EQ(rendered, result::kSourceShrank);
    EXPECT_EQ(progress.failedSource.load(), 0);
    // The sound it had lost would have been silence: nothing of it is kept.
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(pathOf("join.wav"))));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(pathOf("join.wav.part"))));
}

// A source cut after it was measured and before the join reads it: copied
// (a WAV in the output's format) or decoded, it fails the join by its place
// in the list, and the output that stood there before stays as it was.
struct ShortenedCase {
    const char* name;
    MediaFormat format;
};

class ShortenedSource : public MediaFixture, public ::testing::WithParamInterface<ShortenedCase> {};

TEST_P(ShortenedSource, FailsTheJoinAndLeavesTheOldOutput)
{
    const std::string first = makeTone("first", MediaFormat::WavS16, toneOf(1));
    const std::string cut = makeTone("cut", GetParam().format, toneOf(3));
    if (skipped())
        GTEST_SKIP() << skipReason();
    MediaTime measured = 0;
    ASSERT_EQ(measureDuration(cut, measured), result::kOk);
    ASSERT_EQ(::truncate(cut.c_str(), static_cast<off_t>(testmedia::readBytes(cut).size() / 2)), 0);
    const std::string output = pathOf("join.wav");
    ASSERT_TRUE(testmedia::writeBytes(output, "the old join"));

    RenderProgress progress;
    RenderOptions options;
    options.workers = 1;
    const RenderPlan plan = planOf({{first, seconds(1)}, {cut, measured}});
    EXPECT_EQ(renderToWav(plan, output, progress, {}, options), result::kSourceShrank);
    EXPECT_EQ(progress.failedSource.load(), 1);
    EXPECT_EQ(testmedia::readBytes(output), "the old join");
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(output + ".part")));
}

INSTANTIATE_TEST_SUITE_P(Paths, ShortenedSource,
                         ::testing::Values(ShortenedCase{"CopiedWav", MediaFormat::WavS16},
                                           ShortenedCase{"DecodedWav", MediaFormat::WavS24},
                                           ShortenedCase{"Mp3", MediaFormat::Mp3},
                                           ShortenedCase{"Flac", MediaFormat::Flac}),
                         [](const auto& tested) { return std::string(tested.param.name); });

} // namespace
} // namespace kestrine::testing

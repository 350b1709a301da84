// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/console_join.h"
#include "media/wav_header.h"
#include "tests/support/test_media.h"
#include "tests/support/wav_assertions.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fstream>
#include <functional>
#include <random>
#include <thread>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

// kestrine-join run with arguments as raw bytes, killed, and pointed at what
// must not be written over.
namespace kestrine::testing {
namespace {

using testmedia::MediaFormat;

bool isKind(const std::string& path, mode_t kind)
{
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && (status.st_mode & S_IFMT) == kind;
}

// The program, started with exactly these bytes as its arguments.
class JoinProcess {
public:
    explicit JoinProcess(const std::vector<std::string>& arguments)
    {
        int pipeEnds[2];
        if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
            return;
        std::vector<char*> argv;
        std::string program = KESTRINE_JOIN_PATH;
        argv.push_back(program.data());
        std::vector<std::string> copies = arguments;
        for (std::string& argument : copies)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(pipeEnds[1], STDERR_FILENO);
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, STDIN_FILENO);
            ::dup2(null, STDOUT_FILENO);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(pipeEnds[1]);
        errors_ = pipeEnds[0];
    }
    ~JoinProcess()
    {
        if (pid_ > 0 && !waited_) {
            ::kill(pid_, SIGKILL);
            wait();
        }
        if (errors_ >= 0)
            ::close(errors_);
    }
    JoinProcess(const JoinProcess&) = delete;
    JoinProcess& operator=(const JoinProcess&) = delete;

    void kill(int signal) { ::kill(pid_, signal); }

    // True once the program has ended; it is not waited on.
    bool ended()
    {
        if (!waited_ && ::waitpid(pid_, &status_, WNOHANG) == pid_)
            waited_ = true;
        return waited_;
    }

    // The exit code, or -signal when a signal ended it.
    int wait()
    {
        if (!waited_)
            ::waitpid(pid_, &status_, 0);
        const int status = status_;
        waited_ = true;
        char buffer[4096];
        for (ssize_t got; (got = ::read(errors_, buffer, sizeof buffer)) > 0;)
            err_.append(buffer, static_cast<std::size_t>(got));
        return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
    }
    const std::string& err() const { return err_; }

private:
    pid_t pid_ = -1;
    int errors_ = -1;
    bool waited_ = false;
    int status_ = 0;
    std::string err_;
};

class JoinSafetyTest : public ::testing::Test {
public:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    std::string path(const std::string& name) const { return dir.path().toStdString() + "/" + name; }

    std::string tone(const std::string& name, MediaFormat format, double seconds)
    {
        testmedia::ToneSpec spec;
        spec.seconds = seconds;
        const testmedia::Generated file = testmedia::writeTone(dir.path().toStdString(), name, format, spec);
        EXPECT_TRUE(file) << file.message;
        return file.path;
    }

    QTemporaryDir dir;
};

// Killed at any moment, a join leaves the old output as it was and at most a
// partial file whose header claims only sound that is really there.
TEST_F(JoinSafetyTest, AKilledJoinLeavesNothingThatLies)
{
    std::vector<std::string> inputs;
    for (int i = 0; i < 3; ++i)
        inputs.push_back(tone("flac" + std::to_string(i), MediaFormat::Flac, 40));
    inputs.push_back(tone("mp3", MediaFormat::Mp3, 40));
    std::vector<std::string> arguments{"-y", "-o", path("reference.wav")};
    for (int copies = 0; copies < 8; ++copies)
        arguments.insert(arguments.end(), inputs.begin(), inputs.end());
    const auto started = std::chrono::steady_clock::now();
    {
        JoinProcess reference(arguments);
        ASSERT_EQ(reference.wait(), kExitJoined) << reference.err();
    }
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    const std::string reference = testmedia::readBytes(path("reference.wav"));
    const PcmWavLayout referenceLayout = readPcmWavLayout(path("reference.wav"));
    ASSERT_TRUE(referenceLayout.valid);

    std::mt19937 random(20261210);
    // Moments spread over the whole join, from opening the files to the end.
    std::uniform_int_distribution<int> delayMs(1, std::max<int>(2, static_cast<int>(took.count())));
    arguments[2] = path("out.wav");
    constexpr int kRandomRounds = 6;
    int claimsChecked = 0;
    for (int round = 0; round <= kRandomRounds; ++round) {
        const std::string old = "the old join, round " + std::to_string(round);
        std::ofstream(path("out.wav")) << old;
        JoinProcess join(arguments);
        std::string when;
        if (round < kRandomRounds) {
            const int delay = delayMs(random);
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            when = "after " + std::to_string(delay) + " ms";
        } else {
            // However the random moments fell, one kill comes once the
            // header claims some sound, so that a claim is always checked.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (!join.ended() && std::chrono::steady_clock::now() < deadline) {
                const PcmWavLayout claimed = readPcmWavLayout(path("out.wav.part"));
                if (claimed.valid && claimed.dataBytes > 0)
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            when = "after its first claim";
        }
        join.kill(SIGKILL);
        const int ended = join.wait();
        SCOPED_TRACE("killed " + when);

        // Whole, or untouched: the new file takes the old one's place only
        // once it is complete, which may be just before the kill.
        const std::string output = testmedia::readBytes(path("out.wav"));
        const bool complete = output == reference;
        if (ended == kExitJoined || complete) {
            EXPECT_TRUE(complete) << "the join ended but out.wav is not the whole join (" << output.size()
                                  << " bytes)";
            continue;
        }
        EXPECT_EQ(ended, -SIGKILL);
        EXPECT_TRUE(output == old) << "the old output changed before the join ended (" << output.size()
                                   << " bytes)";
        if (!isKind(path("out.wav.part"), S_IFREG))
            continue; // killed before it began to write
        const PcmWavLayout partial = readPcmWavLayout(path("out.wav.part"));
        const std::string written = testmedia::readBytes(path("out.wav.part"));
        if (!partial.valid) {
            // Before its first claim the file is empty or its header blank:
            // either way it claims nothing.
            EXPECT_TRUE(written.empty() || written.substr(0, 4) == std::string(4, '\0'))
                << "a partial file of " << written.size() << " bytes with no valid header";
            continue;
        }
        ASSERT_GE(written.size(), partial.dataOffset + partial.dataBytes);
        EXPECT_EQ(partial.dataOffset, referenceLayout.dataOffset);
        EXPECT_TRUE(written.compare(partial.dataOffset, partial.dataBytes, reference,
                                    referenceLayout.dataOffset, partial.dataBytes) == 0)
            << "the header claims " << partial.dataBytes << " bytes that are not the join's sound";
        if (partial.dataBytes > 0)
            ++claimsChecked;
    }
    EXPECT_GT(claimsChecked, 0) << "no round found a claim to check; the join took " << took.count() << " ms";
}

// Names are bytes: one that is not UTF-8 is joined, and written, as it is.
TEST_F(JoinSafetyTest, NamesThatAreNotUtf8AreKeptAsTheirBytes)
{
    const std::string generated = tone("tone", MediaFormat::Flac, 1);
    const std::string input = path("caf\xe9 \xff.flac");
    ASSERT_EQ(::rename(generated.c_str(), input.c_str()), 0);
    const std::string output = path("joined \xe9.wav");
    JoinProcess join({"-o", output, input});
    ASSERT_EQ(join.wait(), kExitJoined) << join.err();
    EXPECT_TRUE(testmedia::isJoinedWav(testmedia::readWav(output), 44100));

    // A failure names the file with its own bytes.
    JoinProcess missing({"-o", path("other.wav"), path("gone \xe9.flac")});
    EXPECT_EQ(missing.wait(), kExitFailed);
    EXPECT_NE(missing.err().find("gone \xe9.flac"), std::string::npos) << missing.err();
}

// With -y, an output that is not a regular file, or that reaches an input by
// another way, is refused and left exactly as it was.
struct OutputCase {
    const char* name;
    // Makes the output beside the input "in/a.flac"; empty when this system cannot.
    std::function<std::string(const JoinSafetyTest&)> make;
    mode_t kindAfter;
    int exitCode;
    const char* message;
    bool needsRoot = false;
};

void PrintTo(const OutputCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class JoinSafetyOutputTest : public JoinSafetyTest, public ::testing::WithParamInterface<OutputCase> {
protected:
    void TearDown() override
    {
        if (mounted_)
            ::umount2(path("mounted").c_str(), MNT_DETACH);
    }

public:
    std::string bindInputFolder() const
    {
        ::mkdir(path("mounted").c_str(), 0755);
        if (::mount(path("in").c_str(), path("mounted").c_str(), nullptr, MS_BIND, nullptr) != 0)
            return {};
        mounted_ = true;
        return path("mounted/a.flac");
    }

private:
    mutable bool mounted_ = false;
};

TEST_P(JoinSafetyOutputTest, IsRefusedAndLeftAlone)
{
    if (GetParam().needsRoot && ::geteuid() != 0)
        GTEST_SKIP() << "needs root";
    ASSERT_EQ(::mkdir(path("in").c_str(), 0755), 0);
    const std::string generated = tone("a", MediaFormat::Flac, 1);
    ASSERT_EQ(::rename(generated.c_str(), path("in/a.flac").c_str()), 0);
    const std::string inputBytes = testmedia::readBytes(path("in/a.flac"));
    const std::string output = GetParam().make(*this);
    if (output.empty())
        GTEST_SKIP() << "this system would not make the file system object";

    JoinProcess join({"-y", "-o", output, path("in/a.flac")});
    EXPECT_EQ(join.wait(), GetParam().exitCode) << join.err();
    EXPECT_NE(join.err().find(GetParam().message), std::string::npos) << join.err();
    EXPECT_TRUE(isKind(output, GetParam().kindAfter));
    EXPECT_EQ(testmedia::readBytes(path("in/a.flac")), inputBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, JoinSafetyOutputTest,
    ::testing::Values(
        OutputCase{"Pipe",
                   [](const auto& fixture) {
                       return ::mkfifo(fixture.path("pipe.wav").c_str(), 0644) == 0 ? fixture.path("pipe.wav") : std::string();
                   },
                   S_IFIFO, kExitFailed, "is not a regular file"},
        OutputCase{"LinkToDevNull",
                   [](const auto& fixture) {
                       return ::symlink("/dev/null", fixture.path("null.wav").c_str()) == 0 ? fixture.path("null.wav")
                                                                                      : std::string();
                   },
                   S_IFLNK, kExitFailed, "is not a regular file"},
        OutputCase{"DeviceNode",
                   [](const auto& fixture) {
                       const std::string node = fixture.path("zero.wav");
                       return ::mknod(node.c_str(), S_IFCHR | 0666, makedev(1, 5)) == 0 ? node : std::string();
                   },
                   S_IFCHR, kExitFailed, "is not a regular file", true},
        OutputCase{"BindMountedInput",
                   [](const auto& fixture) {
                       return static_cast<const JoinSafetyOutputTest&>(fixture).bindInputFolder();
                   },
                   S_IFREG, kExitUsage, "is also one of the files to join", true}),
    [](const auto& tested) { return std::string(tested.param.name); });

// A pipe named like a sound file is refused at once, not waited on for ever.
TEST_F(JoinSafetyTest, APipeAsAnInputIsRefusedAtOnce)
{
    ASSERT_EQ(::mkfifo(path("x.mp3").c_str(), 0644), 0);
    JoinProcess join({"-o", path("out.wav"), path("x.mp3")});
    EXPECT_EQ(join.wait(), kExitFailed) << join.err();
    EXPECT_NE(join.err().find("Cannot open " + path("x.mp3") + ": A source is not a regular file"),
              std::string::npos)
        << join.err();
    EXPECT_FALSE(isKind(path("out.wav"), S_IFREG));
}

} // namespace
} // namespace kestrine::testing

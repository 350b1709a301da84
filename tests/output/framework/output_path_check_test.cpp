// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/framework/output_path_check.h"
#include "tests/support/unprivileged.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace kestrine::testing {
namespace {

// A folder holding one source, "in/a.wav", and whatever a case adds. The
// working folder and any mount a case makes are undone with it.
class OutputPathFolder {
public:
    OutputPathFolder()
    {
        char here[4096];
        if (::getcwd(here, sizeof here))
            workingFolder_ = here;
        ::mkdir(pathOf("in").c_str(), 0755);
        std::ofstream(pathOf("in/a.wav")) << "source";
        std::ofstream(pathOf("other.wav")) << "other";
    }
    ~OutputPathFolder()
    {
        for (const std::string& mountPoint : mounts_)
            ::umount2(mountPoint.c_str(), MNT_DETACH);
        if (!workingFolder_.empty())
            ::chdir(workingFolder_.c_str());
    }
    OutputPathFolder(const OutputPathFolder&) = delete;
    OutputPathFolder& operator=(const OutputPathFolder&) = delete;

    std::string pathOf(const std::string& name) const { return folder_.path().toStdString() + "/" + name; }

    // Binds `from` at `to`, as another way into the same files.
    bool bind(const std::string& from, const std::string& to) const
    {
        ::mkdir(to.c_str(), 0755);
        if (::mount(from.c_str(), to.c_str(), nullptr, MS_BIND, nullptr) != 0)
            return false;
        mounts_.push_back(to);
        return true;
    }

private:
    QTemporaryDir folder_;
    std::string workingFolder_;
    mutable std::vector<std::string> mounts_;
};

struct ClashCase {
    const char* name;
    // Prepares the folder and gives the output path to check against "in/a.wav".
    std::function<std::string(const OutputPathFolder&)> output;
    MediaResult expected;
    bool needsRoot = false;
};

void PrintTo(const ClashCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class OutputPathCheckTest : public ::testing::TestWithParam<ClashCase> {};

TEST_P(OutputPathCheckTest, ComparesFilesNotSpellings)
{
    if (GetParam().needsRoot && ::geteuid() != 0)
        GTEST_SKIP() << "needs root to make the file system object";
    const OutputPathFolder folder;
    const std::string output = GetParam().output(folder);
    if (output.empty())
        GTEST_SKIP() << "this system would not make the file system object";
    EXPECT_EQ(checkOutputPath(output, {folder.pathOf("other.wav"), folder.pathOf("in/a.wav")}),
              GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, OutputPathCheckTest,
    ::testing::Values(
        ClashCase{"SamePath", [](const auto& f) { return f.pathOf("in/a.wav"); }, result::kOutputIsSource},
        ClashCase{"DotSegments", [](const auto& f) { return f.pathOf("./in/../in/./a.wav"); },
                  result::kOutputIsSource},
        ClashCase{"RelativeSpelling",
                  [](const auto& f) {
                      EXPECT_EQ(::chdir(f.pathOf("in").c_str()), 0);
                      return std::string("a.wav");
                  },
                  result::kOutputIsSource},
        ClashCase{"SymlinkToASource",
                  [](const auto& f) {
                      EXPECT_EQ(::symlink(f.pathOf("in/a.wav").c_str(), f.pathOf("link.wav").c_str()), 0);
                      return f.pathOf("link.wav");
                  },
                  result::kOutputIsSource},
        ClashCase{"SymlinkedFolder",
                  [](const auto& f) {
                      EXPECT_EQ(::symlink(f.pathOf("in").c_str(), f.pathOf("alias").c_str()), 0);
                      return f.pathOf("alias/a.wav");
                  },
                  result::kOutputIsSource},
        ClashCase{"HardLinkToASource",
                  [](const auto& f) {
                      EXPECT_EQ(::link(f.pathOf("in/a.wav").c_str(), f.pathOf("hard.wav").c_str()), 0);
                      return f.pathOf("hard.wav");
                  },
                  result::kOutputIsSource},
        ClashCase{"BindMountOfTheSourceFolder",
                  [](const auto& f) {
                      return f.bind(f.pathOf("in"), f.pathOf("mounted")) ? f.pathOf("mounted/a.wav")
                                                                         : std::string();
                  },
                  result::kOutputIsSource, true},
        ClashCase{"PartialFileIsASource",
                  [](const auto& f) {
                      EXPECT_EQ(::link(f.pathOf("in/a.wav").c_str(), f.pathOf("joined.wav.part").c_str()), 0);
                      return f.pathOf("joined.wav");
                  },
                  result::kOutputIsSource},
        ClashCase{"ADifferentFile", [](const auto& f) { return f.pathOf("b.wav"); }, result::kOk},
        ClashCase{"AnExistingDifferentFile",
                  [](const auto& f) {
                      std::ofstream(f.pathOf("old.wav")) << "old";
                      return f.pathOf("old.wav");
                  },
                  result::kOk},
        ClashCase{"AFolder", [](const auto& f) { return f.pathOf("in"); }, result::kOutputNotRegularFile},
        ClashCase{"APipe",
                  [](const auto& f) {
                      EXPECT_EQ(::mkfifo(f.pathOf("pipe.wav").c_str(), 0644), 0);
                      return f.pathOf("pipe.wav");
                  },
                  result::kOutputNotRegularFile},
        ClashCase{"ALinkToADevice",
                  [](const auto& f) {
                      EXPECT_EQ(::symlink("/dev/null", f.pathOf("null.wav").c_str()), 0);
                      return f.pathOf("null.wav");
                  },
                  result::kOutputNotRegularFile},
        ClashCase{"ADeviceNode",
                  [](const auto& f) {
                      if (::mknod(f.pathOf("zero.wav").c_str(), S_IFCHR | 0666, makedev(1, 5)) != 0)
                          return std::string();
                      return f.pathOf("zero.wav");
                  },
                  result::kOutputNotRegularFile, true}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST(OutputPathCheck, AnEmptyNameIsNoName)
{
    EXPECT_EQ(checkOutputPath("", {"a.wav"}), result::kNoFileName);
}

// Whether the output inside it is one of the sources cannot be ruled out.
// Root looks into every folder, so the check runs as a user who cannot.
TEST(OutputPathCheck, AFolderThatCannotBeLookedIntoIsRefused)
{
    const std::optional<int> checked = runUnprivileged([] {
        const OutputPathFolder folder;
        ::mkdir(folder.pathOf("closed").c_str(), 0755);
        ::chmod(folder.pathOf("closed").c_str(), 0);
        const MediaResult found = checkOutputPath(folder.pathOf("closed/out.wav"), {folder.pathOf("in/a.wav")});
        ::chmod(folder.pathOf("closed").c_str(), 0755);
        return found;
    });
    ASSERT_TRUE(checked) << "the check could not run as an unprivileged user";
    EXPECT_EQ(*checked, result::kOutputIsSource);
}

TEST(OutputPathCheck, IdentityFollowsLinksAndTellsFilesApart)
{
    const OutputPathFolder folder;
    ASSERT_EQ(::symlink(folder.pathOf("in/a.wav").c_str(), folder.pathOf("link.wav").c_str()), 0);
    EXPECT_EQ(identityOf(folder.pathOf("link.wav")), identityOf(folder.pathOf("in/a.wav")));
    EXPECT_NE(identityOf(folder.pathOf("other.wav")), identityOf(folder.pathOf("in/a.wav")));
    EXPECT_FALSE(identityOf(folder.pathOf("missing.wav")));
}

} // namespace
} // namespace kestrine::testing

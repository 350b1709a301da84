// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/join_paths.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrine::testing {
namespace {

using Kind = JoinPathProblem::Kind;

class JoinPathsFolder {
public:
    JoinPathsFolder() { std::ofstream(pathOf("a.wav")) << "source"; }
    ~JoinPathsFolder()
    {
        if (!mounted_.empty())
            ::umount2(mounted_.c_str(), MNT_DETACH);
        ::chmod(pathOf("closed").c_str(), 0755);
    }
    JoinPathsFolder(const JoinPathsFolder&) = delete;
    JoinPathsFolder& operator=(const JoinPathsFolder&) = delete;

    std::string pathOf(const std::string& name) const { return folder_.path().toStdString() + "/" + name; }

    // A folder nobody may write in: read-only for root, closed for anyone else.
    std::string closedFolder() const
    {
        const std::string closed = pathOf("closed");
        ::mkdir(closed.c_str(), 0755);
        if (::geteuid() != 0) {
            ::chmod(closed.c_str(), 0555);
            return closed;
        }
        if (::mount(closed.c_str(), closed.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
            ::mount(nullptr, closed.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
            return {};
        mounted_ = closed;
        return closed;
    }

private:
    QTemporaryDir folder_;
    mutable std::string mounted_;
};

struct PathsCase {
    const char* name;
    // Prepares the folder and gives the paths of one join that reads a.wav.
    std::function<JoinPaths(const JoinPathsFolder&)> paths;
    Kind expected;
    JoinPathProblem::Role role = JoinPathProblem::Role::Output;
};

void PrintTo(const PathsCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class JoinPathsTest : public ::testing::TestWithParam<PathsCase> {};

TEST_P(JoinPathsTest, FindsWhatStopsTheJoinFromWriting)
{
    const JoinPathsFolder folder;
    const JoinPaths paths = GetParam().paths(folder);
    if (paths.output.empty() && GetParam().expected != Kind::NoOutputName)
        GTEST_SKIP() << "this system would not make the file system object";
    const JoinPathProblem problem = checkJoinPaths(paths, {folder.pathOf("a.wav")});
    EXPECT_EQ(problem.kind, GetParam().expected) << joinPathProblemText(problem).toStdString();
    EXPECT_EQ(problem.role, GetParam().role);
    EXPECT_EQ(joinPathProblemText(problem).isEmpty(), GetParam().expected == Kind::None);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, JoinPathsTest,
    ::testing::Values(
        PathsCase{"AllApart",
                  [](const auto& f) { return JoinPaths{f.pathOf("out.wav"), f.pathOf("out.cue"), f.pathOf("out.txt")}; },
                  Kind::None},
        PathsCase{"NoOutput", [](const auto&) { return JoinPaths{}; }, Kind::NoOutputName},
        PathsCase{"AnOutputNamedForAFormatThatIsNotWritten",
                  [](const auto& f) { return JoinPaths{f.pathOf("out.Aac"), f.pathOf("out.cue"), {}}; },
                  Kind::UnwritableFormat},
        PathsCase{"AnOutputNamedForAFormatThatIsWritten",
                  [](const auto& f) { return JoinPaths{f.pathOf("out.AIFF"), f.pathOf("out.cue"), {}}; }, Kind::None},
        PathsCase{"OutputIsASource", [](const auto& f) { return JoinPaths{f.pathOf("./a.wav"), {}, {}}; },
                  Kind::IsSource},
        PathsCase{"CueSheetIsASource",
                  [](const auto& f) { return JoinPaths{f.pathOf("out.wav"), f.pathOf("a.wav"), {}}; }, Kind::IsSource,
                  JoinPathProblem::Role::CueSheet},
        PathsCase{"LabelListIsAHardLinkToTheOutput",
                  [](const auto& f) {
                      std::ofstream(f.pathOf("old.wav")) << "old join";
                      EXPECT_EQ(::link(f.pathOf("old.wav").c_str(), f.pathOf("old.txt").c_str()), 0);
                      return JoinPaths{f.pathOf("old.wav"), {}, f.pathOf("old.txt")};
                  },
                  Kind::SameFile, JoinPathProblem::Role::LabelList},
        PathsCase{"CueSheetIsTheOutputByALinkedFolder",
                  [](const auto& f) {
                      EXPECT_EQ(::symlink(".", f.pathOf("here").c_str()), 0);
                      return JoinPaths{f.pathOf("out.wav"), f.pathOf("here/out.wav"), {}};
                  },
                  Kind::SameFile, JoinPathProblem::Role::CueSheet},
        PathsCase{"LabelListIsTheCueSheetsPartialFile",
                  [](const auto& f) {
                      return JoinPaths{f.pathOf("out.wav"), f.pathOf("j.cue"), f.pathOf("j.cue.part")};
                  },
                  Kind::SameFile, JoinPathProblem::Role::LabelList},
        PathsCase{"AFolderThatCannotBeWritten",
                  [](const auto& f) {
                      const std::string closed = f.closedFolder();
                      return closed.empty() ? JoinPaths{} : JoinPaths{f.pathOf("out.wav"), closed + "/out.cue", {}};
                  },
                  Kind::CannotWrite, JoinPathProblem::Role::CueSheet},
        PathsCase{"APipeAtTheOutput",
                  [](const auto& f) {
                      EXPECT_EQ(::mkfifo(f.pathOf("pipe.wav").c_str(), 0644), 0);
                      return JoinPaths{f.pathOf("pipe.wav"), {}, {}};
                  },
                  Kind::NotRegularFile},
        PathsCase{"ALeftoverLinkAtThePartialFileIsNoObstacle",
                  [](const auto& f) {
                      EXPECT_EQ(::symlink("gone", f.pathOf("out.wav.part").c_str()), 0);
                      return JoinPaths{f.pathOf("out.wav"), {}, {}};
                  },
                  Kind::None}),
    [](const auto& tested) { return std::string(tested.param.name); });

} // namespace
} // namespace kestrine::testing

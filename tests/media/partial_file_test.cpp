// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/partial_file.h"
#include "output/framework/output_path_check.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrine::testing {
namespace {

class PartialFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }
    std::string pathOf(const std::string& name) const { return folder.path().toStdString() + "/" + name; }
    static std::string contentsOf(const std::string& path)
    {
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }
    static bool exists(const std::string& path)
    {
        struct stat status {};
        return ::lstat(path.c_str(), &status) == 0;
    }
    static void write(PartialFile& file, const std::string& text)
    {
        ASSERT_EQ(writeAll(file.fd, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), 0), result::kOk);
    }

    QTemporaryDir folder;
};

// A second join to the same output is refused while the first writes, and
// neither removes nor writes into the first one's file.
TEST_F(PartialFileTest, IsHeldByOneJoinAtATime)
{
    const std::string output = pathOf("out.flac");
    PartialFile first;
    ASSERT_EQ(createPartialFile(output, first), result::kOk);
    write(first, "first");

    PartialFile second;
    EXPECT_EQ(createPartialFile(output, second), result::kOutputBusy);
    discardPartialFile(second);
    EXPECT_EQ(contentsOf(output + ".part"), "first");

    ASSERT_EQ(commitPartialFile(first), result::kOk);
    EXPECT_EQ(contentsOf(output), "first");
    EXPECT_FALSE(exists(output + ".part"));

    // Once the first is done, the next join may write.
    ASSERT_EQ(createPartialFile(output, second), result::kOk);
    discardPartialFile(second);
    EXPECT_EQ(contentsOf(output), "first");
    EXPECT_FALSE(exists(output + ".part"));
}

TEST_F(PartialFileTest, ALeftoverOfAKilledJoinIsTakenOverEmpty)
{
    const std::string output = pathOf("out.wav");
    std::ofstream(output + ".part") << "what a killed join left";
    PartialFile file;
    ASSERT_EQ(createPartialFile(output, file), result::kOk);
    struct stat status {};
    ASSERT_EQ(::fstat(file.fd, &status), 0);
    EXPECT_EQ(status.st_size, 0);
    discardPartialFile(file);
    EXPECT_FALSE(exists(output + ".part"));
}

TEST_F(PartialFileTest, ALinkIsWrittenThroughEvenWhenItsFileIsMissing)
{
    ASSERT_EQ(::mkdir(pathOf("real").c_str(), 0755), 0);
    ASSERT_EQ(::symlink("real/target.wav", pathOf("out.wav").c_str()), 0);
    PartialFile file;
    ASSERT_EQ(createPartialFile(pathOf("out.wav"), file), result::kOk);
    write(file, "joined");
    ASSERT_EQ(commitPartialFile(file), result::kOk);
    struct stat status {};
    ASSERT_EQ(::lstat(pathOf("out.wav").c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode)) << "the link was replaced";
    EXPECT_EQ(contentsOf(pathOf("real/target.wav")), "joined");

    ASSERT_EQ(::symlink(pathOf("loop.wav").c_str(), pathOf("loop.wav").c_str()), 0);
    PartialFile looped;
    EXPECT_EQ(createPartialFile(pathOf("loop.wav"), looped), result::resultOfSystemError(ELOOP));
}

TEST(PartialPath, FitsTheSystemsLongestNameAndTellsLongNamesApart)
{
    EXPECT_EQ(partialPathOf("/music/out.wav"), "/music/out.wav.part");
    const std::string longest(NAME_MAX - 5, 'n');
    const std::string first = partialPathOf("/music/" + longest + "1.wav");
    const std::string second = partialPathOf("/music/" + longest + "2.wav");
    EXPECT_NE(first, second);
    for (const std::string& partial : {first, second}) {
        EXPECT_EQ(partial.rfind("/music/nnn", 0), 0u) << partial;
        EXPECT_LE(partial.size() - 7, static_cast<std::size_t>(NAME_MAX)) << partial;
        EXPECT_EQ(partial.substr(partial.size() - 5), ".part");
    }
    // A name is cut between characters, never inside one: here the cut
    // would fall between the two bytes of an "é".
    std::string accentedName(230, 'n');
    for (int i = 0; i < 10; ++i)
        accentedName += "\xC3\xA9";
    const std::string accented = partialPathOf("/m/" + accentedName + ".wav");
    const std::size_t digest = accented.find('~');
    ASSERT_NE(digest, std::string::npos);
    EXPECT_EQ(accented.substr(digest - 2, 2), "\xC3\xA9") << accented;
}

} // namespace
} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/join_command.h"

#include "cli/console_join.h"
#include "tests/support/fake_media_framework.h"

#include <gtest/gtest.h>
#include <sstream>

namespace kestrine::testing {
namespace {

struct JoinCommandTest : ::testing::Test {
    int run(const std::vector<std::string>& arguments)
    {
        return runJoinCommand(arguments, fake, out, err, interrupted, false);
    }

    FakeMediaFramework fake;
    std::ostringstream out;
    std::ostringstream err;
    std::atomic<bool> interrupted{false};
};

TEST_F(JoinCommandTest, HelpGoesToStandardOutput)
{
    EXPECT_EQ(run({"--help"}), kExitJoined);
    EXPECT_EQ(out.str().rfind("Usage: kestrine-join -o OUTPUT [-y] FILE...\n", 0), 0u)
        << out.str();
    EXPECT_EQ(err.str(), "");
    EXPECT_TRUE(fake.calls().empty());
}

TEST_F(JoinCommandTest, VersionIsTheProjectsVersion)
{
    EXPECT_EQ(run({"--version", "ignored.mp3"}), kExitJoined);
    EXPECT_EQ(out.str(), std::string("kestrine-join ") + KESTRINE_VERSION + "\n");
    EXPECT_TRUE(fake.calls().empty());
}

TEST_F(JoinCommandTest, WrongArgumentsPointToHelp)
{
    EXPECT_EQ(run({"-x", "a.mp3"}), kExitUsage);
    EXPECT_EQ(err.str(), "kestrine-join: unknown option -x (see --help)\n");
    EXPECT_EQ(out.str(), "");
}

TEST_F(JoinCommandTest, ArgumentsReachTheJoin)
{
    EXPECT_EQ(run({"-o", "out.wav"}), kExitUsage);
    EXPECT_EQ(err.str(), "kestrine-join: no files to join (see --help)\n");
}

} // namespace
} // namespace kestrine::testing

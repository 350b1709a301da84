// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/join_options.h"

#include <gtest/gtest.h>

namespace kestrine {
namespace {

struct OptionsCase {
    friend void PrintTo(const OptionsCase& tested, std::ostream* out) { *out << tested.name; }
    const char* name;
    QStringList arguments;
    QString output;
    bool overwrite;
    QStringList files;
    QString error;
};

class JoinOptionsTest : public ::testing::TestWithParam<OptionsCase> {};

TEST_P(JoinOptionsTest, ParsesTheCommandLine)
{
    const ParsedJoinOptions parsed = parseJoinOptions(GetParam().arguments);
    EXPECT_EQ(parsed.error, GetParam().error);
    if (!GetParam().error.isEmpty())
        return;
    EXPECT_EQ(parsed.options.output, GetParam().output);
    EXPECT_EQ(parsed.options.overwrite, GetParam().overwrite);
    EXPECT_EQ(parsed.options.files, GetParam().files);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, JoinOptionsTest,
    ::testing::Values(
        OptionsCase{"OutputThenFiles", {"-o", "out.wav", "a.mp3", "b.ogg"}, "out.wav", false,
                    {"a.mp3", "b.ogg"}, ""},
        OptionsCase{"OptionsAnywhere", {"a.mp3", "-y", "--output", "out.wav", "b.ogg"}, "out.wav",
                    true, {"a.mp3", "b.ogg"}, ""},
        OptionsCase{"JoinedForms", {"-oout.wav", "--output=x.wav", "a.mp3"}, "x.wav", false,
                    {"a.mp3"}, ""},
        OptionsCase{"DashedNamesAfterDoubleDash", {"-o", "out.wav", "--", "-a.mp3", "-y"},
                    "out.wav", false, {"-a.mp3", "-y"}, ""},
        OptionsCase{"OutputWithoutName", {"a.mp3", "-o"}, "", false, {}, "-o needs the output file's name"},
        OptionsCase{"UnknownOption", {"-x", "a.mp3"}, "", false, {}, "unknown option -x"}),
    [](const auto& tested) { return std::string(tested.param.name); });

TEST(JoinOptionsTest, HelpAndVersionAreFlags)
{
    EXPECT_TRUE(parseJoinOptions({"--help"}).options.help);
    EXPECT_TRUE(parseJoinOptions({"-h"}).options.help);
    EXPECT_TRUE(parseJoinOptions({"--version"}).options.version);
    EXPECT_FALSE(parseJoinOptions({"a.mp3"}).options.help);
}

} // namespace
} // namespace kestrine

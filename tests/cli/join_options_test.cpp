// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/join_options.h"

#include <gtest/gtest.h>

namespace kestrine {
namespace {

struct OptionsCase {
    friend void PrintTo(const OptionsCase& tested, std::ostream* out) { *out << tested.name; }
    const char* name;
    std::vector<std::string> arguments;
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

struct MarkerCase {
    friend void PrintTo(const MarkerCase& tested, std::ostream* out) { *out << tested.name; }
    const char* name;
    std::vector<std::string> arguments;
    bool markers;
    QString cueSheet;
    QString labelList;
    QString error;
};

class MarkerOptionsTest : public ::testing::TestWithParam<MarkerCase> {};

TEST_P(MarkerOptionsTest, ParsesTheMarkerOptions)
{
    const ParsedJoinOptions parsed = parseJoinOptions(GetParam().arguments);
    EXPECT_EQ(parsed.error, GetParam().error);
    if (!GetParam().error.isEmpty())
        return;
    EXPECT_EQ(parsed.options.markers, GetParam().markers);
    EXPECT_EQ(parsed.options.cueSheet, GetParam().cueSheet);
    EXPECT_EQ(parsed.options.labelList, GetParam().labelList);
    EXPECT_EQ(parsed.options.files, QStringList({"a.mp3", "b.ogg"}));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, MarkerOptionsTest,
    ::testing::Values(
        MarkerCase{"MarkersByDefault", {"a.mp3", "b.ogg"}, true, "", "", ""},
        MarkerCase{"NoMarkers", {"a.mp3", "--no-markers", "b.ogg"}, false, "", "", ""},
        MarkerCase{"SeparateNames", {"--cue", "j.cue", "a.mp3", "--labels", "j.txt", "b.ogg"}, true, "j.cue",
                   "j.txt", ""},
        MarkerCase{"JoinedNames", {"--labels=j.txt", "a.mp3", "b.ogg", "--cue=j.cue"}, true, "j.cue", "j.txt", ""},
        MarkerCase{"ANameThatLooksLikeAnOption", {"--cue", "-y", "a.mp3", "b.ogg"}, true, "-y", "", ""},
        MarkerCase{"AllTogether", {"--no-markers", "--cue=j.cue", "--labels", "j.txt", "a.mp3", "b.ogg"}, false,
                   "j.cue", "j.txt", ""},
        MarkerCase{"CueWithoutName", {"a.mp3", "b.ogg", "--cue"}, true, "", "", "--cue needs a file name"},
        MarkerCase{"EmptyLabelsName", {"--labels=", "a.mp3", "b.ogg"}, true, "", "", "--labels needs a file name"},
        MarkerCase{"MisspeltOption", {"--cues=j.cue", "a.mp3", "b.ogg"}, true, "", "", "unknown option --cues=j.cue"}),
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

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/command_line.h"

#include <gtest/gtest.h>

namespace kestrine::testing {
namespace {

struct CommandLineCase {
    const char* name;
    std::vector<std::string> arguments;
    CommandLine expected;
};

void PrintTo(const CommandLineCase& test, std::ostream* out)
{
    *out << test.name;
}

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

CommandLine files(const QStringList& paths)
{
    CommandLine line;
    line.files = paths;
    return line;
}
CommandLine answered(bool help, bool version, const QString& error = QString())
{
    CommandLine line;
    line.help = help;
    line.version = version;
    line.error = error;
    return line;
}

TEST(CommandLineUsage, NamesEveryFormatTheOutputCanHave)
{
    const QString usage = commandLineUsage(QStringLiteral("kestrine")).simplified();
    EXPECT_TRUE(usage.contains(QStringLiteral("into one WAV, FLAC, MP3, Opus, M4A, M4B audiobook or AIFF file"))) << usage.toStdString();
    EXPECT_FALSE(usage.contains(QStringLiteral("one WAV file"))) << usage.toStdString();
}

TEST_P(CommandLineTest, ReadsFilesAndOptions)
{
    const CommandLineCase& test = GetParam();
    const CommandLine line = parseCommandLine(test.arguments, QStringLiteral("/home/user/music"));
    EXPECT_EQ(line.help, test.expected.help);
    EXPECT_EQ(line.version, test.expected.version);
    EXPECT_EQ(line.listAndQuit, test.expected.listAndQuit);
    EXPECT_EQ(line.files, test.expected.files);
    EXPECT_EQ(line.error, test.expected.error);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CommandLineTest,
    ::testing::Values(
        CommandLineCase{"Nothing", {}, {}},
        CommandLineCase{"FilesInOrderRelativeOnesFromTheCurrentFolder",
                        {"b.mp3", "/tmp/a.ogg", "../talk/c.wav", "./d e.flac"},
                        files({"/home/user/music/b.mp3", "/tmp/a.ogg", "/home/user/talk/c.wav",
                               "/home/user/music/d e.flac"})},
        CommandLineCase{"AfterDoubleDashDashesAreFiles",
                        {"--", "-x.mp3", "--help"},
                        files({"/home/user/music/-x.mp3", "/home/user/music/--help"})},
        CommandLineCase{"HelpAnywhere",
                        {"a.mp3", "--help"},
                        [] {
                            CommandLine line = answered(true, false);
                            line.files = {"/home/user/music/a.mp3"};
                            return line;
                        }()},
        CommandLineCase{"ShortHelp", {"-h"}, answered(true, false)},
        CommandLineCase{"Version", {"--version"}, answered(false, true)},
        // The first unknown option is named; --help after it still counts.
        CommandLineCase{"UnknownOptions",
                        {"-x", "--help", "--frobnicate"},
                        answered(true, false, QStringLiteral("unknown option -x"))},
        CommandLineCase{
            "LoneDashIsNoFile", {"-"}, answered(false, false, QStringLiteral("unknown option -"))}),
    [](const ::testing::TestParamInfo<CommandLineCase>& param) {
        return std::string(param.param.name);
    });

} // namespace
} // namespace kestrine::testing

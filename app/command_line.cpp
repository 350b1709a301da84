// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/command_line.h"

#include "output/framework/path_bytes.h"
#include "platform/argument_reader.h"

#include <QDir>

namespace kestrine {

namespace {

#ifdef KESTRINE_TEST_OPTIONS
constexpr bool kTestOptions = true;
#else
constexpr bool kTestOptions = false;
#endif

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& arguments, const QString& currentFolder)
{
    CommandLine line;
    const QDir folder(currentFolder);
    // After "--" everything is a file, so names that start with a dash can be opened too.
    ArgumentReader reader(arguments, false);
    while (!reader.atEnd()) {
        std::string name;
        if (reader.takeName(name)) {
            line.files.append(QDir::cleanPath(folder.absoluteFilePath(pathFromBytes(name))));
        } else if (reader.takeFlag({"-h", "--help"})) {
            line.help = true;
        } else if (reader.takeFlag({"--version"})) {
            line.version = true;
        } else if (kTestOptions && reader.takeFlag({"--test-list-and-quit"})) {
            line.listAndQuit = true;
        } else if (kTestOptions && reader.takeFlag({"--test-report-list"})) {
            line.reportList = true;
        } else {
            const std::string unknown = reader.takeAny();
            // The rest is still read, so that --help is answered whatever else is given.
            if (line.error.isEmpty())
                line.error = QStringLiteral("unknown option %1").arg(pathFromBytes(unknown));
        }
    }
    return line;
}

QString commandLineUsage(const QString& program)
{
    return QStringLiteral(
               "Usage: %1 [FILE...]\n"
               "Joins the sound of a list of media files, one after another, into one WAV,\n"
               "FLAC, MP3, Opus, M4A, M4B audiobook or AIFF file, as the output file's name\n"
               "says, at the sources' own rate, channels and depth unless Options chooses\n"
               "others. The window starts with the given files added to the list, measured\n"
               "and checked as the Add button would.\n"
               "\n"
               "  -h, --help     show this help and exit\n"
               "      --version  show the version and exit\n"
               "      --         every argument after this is a file\n"
               "\n"
               "The window also takes Qt's own options, such as -platform and -style.\n"
               "%1-join joins from the terminal without a window.\n")
        .arg(program);
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/join_options.h"

namespace kestrine {

namespace {

// An option that takes a file name, as "--name FILE" or "--name=FILE";
// false when `argument` is another option. Sets error when the name is missing.
bool takeFileOption(const QStringList& arguments, qsizetype& i, const QString& name, QString& value,
                    QString& error)
{
    const QString& argument = arguments[i];
    if (argument == name) {
        if (i + 1 >= arguments.size())
            error = QStringLiteral("%1 needs a file name").arg(name);
        else
            value = arguments[++i];
        return true;
    }
    if (argument.startsWith(name + u'=')) {
        value = argument.mid(name.size() + 1);
        if (value.isEmpty())
            error = QStringLiteral("%1 needs a file name").arg(name);
        return true;
    }
    return false;
}

} // namespace

ParsedJoinOptions parseJoinOptions(const QStringList& arguments)
{
    ParsedJoinOptions parsed;
    JoinOptions& options = parsed.options;
    bool filesOnly = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        // "-" alone and anything after "--" are file names, so files whose
        // names start with a dash can still be joined.
        if (filesOnly || !argument.startsWith(u'-') || argument == QStringLiteral("-")) {
            options.files.append(argument);
        } else if (argument == QStringLiteral("--")) {
            filesOnly = true;
        } else if (argument == QStringLiteral("-h") || argument == QStringLiteral("--help")) {
            options.help = true;
        } else if (argument == QStringLiteral("--version")) {
            options.version = true;
        } else if (argument == QStringLiteral("--measure")) {
            options.measureOnly = true;
        } else if (argument == QStringLiteral("-y") || argument == QStringLiteral("--overwrite")) {
            options.overwrite = true;
        } else if (argument == QStringLiteral("--no-markers")) {
            options.markers = false;
        } else if (takeFileOption(arguments, i, QStringLiteral("--cue"), options.cueSheet, parsed.error) ||
                   takeFileOption(arguments, i, QStringLiteral("--labels"), options.labelList,
                                  parsed.error)) {
            if (!parsed.error.isEmpty())
                return parsed;
        } else if (argument == QStringLiteral("-o") || argument == QStringLiteral("--output")) {
            if (i + 1 >= arguments.size()) {
                parsed.error = QStringLiteral("%1 needs the output file's name").arg(argument);
                return parsed;
            }
            options.output = arguments[++i];
        } else if (argument.startsWith(QStringLiteral("--output="))) {
            options.output = argument.mid(9);
        } else if (argument.startsWith(QStringLiteral("-o")) && argument.size() > 2) {
            options.output = argument.mid(2);
        } else {
            parsed.error = QStringLiteral("unknown option %1").arg(argument);
            return parsed;
        }
    }
    return parsed;
}

QString joinUsage(const QString& program)
{
    return QStringLiteral(
               "Usage: %1 -o OUTPUT [-y] FILE...\n"
               "       %1 --measure FILE...\n"
               "Joins the sound of the media files, one after another in the given order,\n"
               "into one file, with no gaps at the joins and a marker where each file starts\n"
               "(in a WAV file a cue point labelled with the file's name).\n"
               "OUTPUT's extension chooses the format:\n"
               "  .flac  FLAC, 44,100 Hz stereo 16-bit, lossless, with a cue sheet\n"
               "  .mp3   MP3, 44,100 Hz stereo, LAME VBR quality 2, gapless\n"
               "  .m4a   AAC in MP4, 44,100 Hz stereo, 192 kbit/s, gapless\n"
               "  .opus  Opus in Ogg, 48,000 Hz stereo, 128 kbit/s, gapless\n"
               "  other  WAV, 44,100 Hz stereo 16-bit (RF64 past 4 GiB)\n"
               "\n"
               "  -o, --output OUTPUT  the file to write\n"
               "  -y, --overwrite      replace OUTPUT, and the cue sheet and label list, if\n"
               "                       they exist\n"
               "      --no-markers     write no markers into OUTPUT\n"
               "      --cue FILE       also write a cue sheet: one track per file, at the\n"
               "                       nearest 1/75 s of its start\n"
               "      --labels FILE    also write a label list: one line per file with its\n"
               "                       start, end and name, tab-separated, in seconds, as\n"
               "                       audio editors (Audacity) import labels\n"
               "      --measure        print each file's playing length in seconds, one line\n"
               "                       per file in the given order, and join nothing\n"
               "  -h, --help           show this help and exit\n"
               "      --version        show the version and exit\n"
               "\n"
               "At most 1000 files. OUTPUT, the cue sheet and the label list may not be one\n"
               "of them, nor each other. A progress line is shown when standard error is a\n"
               "terminal; Ctrl-C stops and leaves a valid file of what was written, with the\n"
               "markers of the files it reached. The cue sheet and the label list are only\n"
               "written when the whole join was.\n"
               "\n"
               "Exit status: 0 when the whole file was written, 1 when the join failed or\n"
               "was refused, 2 for wrong arguments, 130 when stopped by Ctrl-C.\n")
        .arg(program);
}

} // namespace kestrine

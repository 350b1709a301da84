// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/join_options.h"

#include "media/format_choice.h"
#include "output/framework/path_bytes.h"
#include "platform/argument_reader.h"

namespace kestrine {

namespace {

// A long option that takes a file name, as "--name FILE" or "--name=FILE";
// false when the next argument is something else. Sets error when the name
// is missing.
bool takeFileOption(ArgumentReader& reader, std::string_view name, QString& value, QString& error)
{
    std::string bytes;
    switch (reader.takeValue({}, name, bytes)) {
    case ArgumentReader::Value::Absent:
        return false;
    case ArgumentReader::Value::Missing:
        error = QStringLiteral("%1 needs a file name").arg(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
        return true;
    case ArgumentReader::Value::Taken:
        value = pathFromBytes(bytes);
        return true;
    }
    return false;
}

// A long option that takes a tag's text, as "--name TEXT" or "--name=TEXT".
bool takeTextOption(ArgumentReader& reader, std::string_view name, std::string& value, QString& error)
{
    switch (reader.takeValue({}, name, value)) {
    case ArgumentReader::Value::Absent:
        return false;
    case ArgumentReader::Value::Missing:
        error = QStringLiteral("%1 needs a text").arg(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
        return true;
    case ArgumentReader::Value::Taken:
        return true;
    }
    return false;
}

struct NumberOption {
    std::string_view name;
    const char* unit; // what the number counts, for the sentence of a missing one
    int AudioFormatRequest::*formatField = nullptr;
};

// The options that ask for the output's format, each a whole number.
const NumberOption kNumberOptions[] = {
    {"--rate", "of hertz, as 48000", &AudioFormatRequest::sampleRate},
    {"--channels", "of channels: 1 or 2", &AudioFormatRequest::channels},
    {"--bits", "of bits: 16 or 24", &AudioFormatRequest::bitsPerSample},
    {"--bitrate", "of kbit/s, as 192", &AudioFormatRequest::bitRateKbps},
    {"--quality", "from 0 (best) to 9", &AudioFormatRequest::vbrQuality},
};

// One of the number options, as "--rate 48000" or "--rate=48000"; false when
// the next argument is something else. Sets error when the value is not a
// whole number.
bool takeNumberOption(ArgumentReader& reader, AudioFormatRequest& format, QString& error)
{
    for (const NumberOption& option : kNumberOptions) {
        std::string bytes;
        const auto taken = reader.takeValue({}, option.name, bytes);
        if (taken == ArgumentReader::Value::Absent)
            continue;
        const QString name = QString::fromLatin1(option.name.data(), static_cast<qsizetype>(option.name.size()));
        bool number = taken == ArgumentReader::Value::Taken && bytes.size() <= 9 &&
                      bytes.find_first_not_of("0123456789") == std::string::npos;
        if (!number) {
            error = QStringLiteral("%1 needs a number %2").arg(name, QString::fromLatin1(option.unit));
            return true;
        }
        const int value = std::stoi(bytes);
        // Zero is a value asked for, not the absence of one.
        format.*option.formatField = value == 0 && option.formatField != &AudioFormatRequest::vbrQuality ? -1 : value;
        return true;
    }
    return false;
}

// --loudness MODE; false when the next argument is something else.
bool takeLoudnessMode(ArgumentReader& reader, LoudnessRequest& loudness, QString& error)
{
    constexpr std::pair<std::string_view, LoudnessMode> kModes[] = {
        {"track", LoudnessMode::Track}, {"album", LoudnessMode::Album}, {"tags", LoudnessMode::Tags}};
    std::string bytes;
    if (reader.takeValue({}, "--loudness", bytes) == ArgumentReader::Value::Absent)
        return false;
    for (const auto& [name, mode] : kModes) {
        if (bytes == name) {
            loudness.mode = mode;
            return true;
        }
    }
    error = QStringLiteral("--loudness takes track (each file to the target), album (the whole join to the "
                           "target, by one gain) or tags (no sound changed, tags for players)");
    return true;
}

struct LevelOption {
    std::string_view name;
    double LoudnessRequest::*field;
    double lowest;
    double highest;
    const char* unit;
    const char* example;
};

const LevelOption kLevelOptions[] = {
    {"--target", &LoudnessRequest::target, kLowestLoudnessTarget, kHighestLoudnessTarget, "LUFS", "-16"},
    {"--true-peak", &LoudnessRequest::truePeakCeiling, kLowestTruePeakCeiling, kHighestTruePeakCeiling, "dBTP",
     "-1.0"},
};

// --target LUFS or --true-peak DBTP, a decimal number within its range;
// false when the next argument is something else.
bool takeLevelOption(ArgumentReader& reader, LoudnessRequest& loudness, bool& given, QString& error)
{
    for (const LevelOption& option : kLevelOptions) {
        std::string bytes;
        const auto taken = reader.takeValue({}, option.name, bytes);
        if (taken == ArgumentReader::Value::Absent)
            continue;
        given = true;
        bool number = false;
        const double value = QString::fromStdString(bytes).toDouble(&number);
        if (!number || !(value >= option.lowest && value <= option.highest)) {
            error = QStringLiteral("%1 takes a number from %2 to %3 %4, as %5")
                        .arg(QString::fromLatin1(option.name.data(), static_cast<qsizetype>(option.name.size())))
                        .arg(option.lowest)
                        .arg(option.highest)
                        .arg(QString::fromLatin1(option.unit), QString::fromLatin1(option.example));
            return true;
        }
        loudness.*option.field = value;
        return true;
    }
    return false;
}

} // namespace

ParsedJoinOptions parseJoinOptions(const std::vector<std::string>& arguments)
{
    ParsedJoinOptions parsed;
    JoinOptions& options = parsed.options;
    // "-" alone and anything after "--" are file names, so files whose
    // names start with a dash can still be joined.
    ArgumentReader reader(arguments);
    bool levelGiven = false;
    while (!reader.atEnd()) {
        const QString spelling = pathFromBytes(std::string(reader.next()));
        std::string value;
        if (reader.takeName(value)) {
            options.files.append(pathFromBytes(value));
        } else if (reader.takeFlag({"-h", "--help"})) {
            options.help = true;
        } else if (reader.takeFlag({"--version"})) {
            options.version = true;
        } else if (reader.takeFlag({"--measure"})) {
            options.measureOnly = true;
        } else if (reader.takeFlag({"-y", "--overwrite"})) {
            options.overwrite = true;
        } else if (reader.takeFlag({"--no-markers"})) {
            options.markers = false;
        } else if (reader.takeFlag({"--no-tags"})) {
            options.tags = false;
        } else if (reader.takeFlag({"--reencode"})) {
            options.format.reencode = true;
        } else if (const auto output = reader.takeValue("-o", "--output", value);
                   output != ArgumentReader::Value::Absent) {
            if (output == ArgumentReader::Value::Missing) {
                parsed.error = QStringLiteral("%1 needs the output file's name").arg(spelling);
                return parsed;
            }
            options.output = pathFromBytes(value);
        } else if (!takeFileOption(reader, "--cue", options.cueSheet, parsed.error) &&
                   !takeFileOption(reader, "--labels", options.labelList, parsed.error) &&
                   !takeFileOption(reader, "--cover", options.cover, parsed.error) &&
                   !takeTextOption(reader, "--title", options.title, parsed.error) &&
                   !takeTextOption(reader, "--artist", options.artist, parsed.error) &&
                   !takeTextOption(reader, "--album", options.album, parsed.error) &&
                   !takeNumberOption(reader, options.format, parsed.error) &&
                   !takeLoudnessMode(reader, options.format.loudness, parsed.error) &&
                   !takeLevelOption(reader, options.format.loudness, levelGiven, parsed.error)) {
            parsed.error = QStringLiteral("unknown option %1").arg(pathFromBytes(reader.takeAny()));
            return parsed;
        }
        if (!parsed.error.isEmpty())
            return parsed;
    }
    if (!options.tags && (!options.title.empty() || !options.artist.empty() || !options.album.empty() ||
                          !options.cover.isEmpty()))
        parsed.error = QStringLiteral("--no-tags writes no tags: it cannot go with --title, --artist, --album or --cover");
    else if (!options.tags && options.format.loudness.mode == LoudnessMode::Tags)
        parsed.error = QStringLiteral("--no-tags writes no tags: it cannot go with --loudness tags");
    else if (levelGiven && options.format.loudness.mode == LoudnessMode::Leave)
        parsed.error = QStringLiteral("--target and --true-peak go with --loudness track, album or tags");
    return parsed;
}

QString formatOptionsProblem(const JoinOptions& options)
{
    const Encoding encoding = outputFormatFor(pathToBytes(options.output)).encoding;
    // Each option alone first, so that the sentence names the one to mend.
    for (const NumberOption& option : kNumberOptions) {
        const int value = options.format.*option.formatField;
        AudioFormatRequest alone;
        alone.*option.formatField = value;
        if (alone == AudioFormatRequest{})
            continue;
        const std::string problem = formatRequestProblem(alone, encoding);
        if (!problem.empty())
            return QStringLiteral("%1 %2: %3")
                .arg(QString::fromLatin1(option.name.data(), static_cast<qsizetype>(option.name.size())))
                .arg(std::max(value, 0))
                .arg(QString::fromStdString(problem));
    }
    if (const std::string problem = loudnessRequestProblem(options.format.loudness, encoding); !problem.empty())
        return QStringLiteral("--loudness tags: %1").arg(QString::fromStdString(problem));
    return QString::fromStdString(formatRequestProblem(options.format, encoding));
}

QString joinUsage(const QString& program)
{
    return QStringLiteral(
               "Usage: %1 -o OUTPUT [-y] FILE...\n"
               "       %1 --measure FILE...\n"
               "Joins the sound of the media files, one after another in the given order,\n"
               "into one file, with no gaps at the joins and a marker where each file starts\n"
               "(in a WAV file a cue point), named by the file's title tag or else its name.\n"
               "OUTPUT's extension chooses the format:\n"
               "  .flac  FLAC, lossless, with a cue sheet\n"
               "  .mp3   MP3, LAME VBR quality 2, gapless\n"
               "  .m4a   AAC in MP4, 192 kbit/s, gapless\n"
               "  .m4b   the same as an audiobook, with chapters, tags and cover\n"
               "  .opus, .ogg  Opus in Ogg, always 48,000 Hz, 128 kbit/s, gapless\n"
               "  .aif, .aiff  AIFF, big-endian, at most 4 GiB\n"
               "  other  WAV (RF64 past 4 GiB); the ending of a media format not listed\n"
               "         here (.aac, .wma, .mp4, ...) is refused\n"
               "The output keeps the files' sample rate (the one that carries most of the\n"
               "join when they differ, or the nearest the format holds), is mono when every\n"
               "file is, and in WAV, FLAC and AIFF has 24-bit samples when any file has\n"
               "more than 16 bits. Files already at that rate and layout are not resampled.\n"
               "\n"
               "  -o, --output OUTPUT  the file to write\n"
               "  -y, --overwrite      replace OUTPUT, and the cue sheet and label list, if\n"
               "                       they exist\n"
               "      --no-markers     write no markers into OUTPUT\n"
               "      --cue FILE       also write a cue sheet: one track per marker (a file's\n"
               "                       own chapters, else the file), at the nearest 1/75 s\n"
               "                       of its start\n"
               "      --labels FILE    also write a label list: one line per file with its\n"
               "                       start, end and name, tab-separated, in seconds, as\n"
               "                       audio editors (Audacity) import labels\n"
               "      --title TEXT     the output's title (else its album's name)\n"
               "      --artist TEXT    the output's artist (else the files' artist)\n"
               "      --album TEXT     the output's album (else the files' album)\n"
               "      --cover FILE     a JPEG or PNG image of at most 16 MB as the cover\n"
               "                       (else the first file's cover, or a cover, folder or\n"
               "                       front image beside the first file)\n"
               "      --no-tags        write no tags and no cover into OUTPUT\n"
               "      --rate HZ        write at this sample rate (MP3: 32000, 44100 or 48000;\n"
               "                       M4A and M4B: up to 96000; Opus: 48000 only)\n"
               "      --channels N     1 (mono) or 2 (stereo)\n"
               "      --bits N         16 or 24 (WAV, FLAC and AIFF only)\n"
               "      --bitrate KBPS   MP3 constant bit rate (32 to 320), AAC and Opus target\n"
               "      --quality N      MP3 VBR quality, 0 (best) to 9; 2 by default\n"
               "      --reencode       decode and encode every file, even where their frames\n"
               "                       could be copied\n"
               "      --loudness MODE  match the loudness (EBU R128) of what is joined; the\n"
               "                       files are read twice, to measure and then to join:\n"
               "                       track  brings every file to the target: for podcast\n"
               "                              segments or chapters recorded apart\n"
               "                       album  moves the whole join by one gain, so its quiet\n"
               "                              and loud parts stay as meant: for music\n"
               "                       tags   changes no sample and writes ReplayGain tags\n"
               "                              (Opus: R128 gains) that players follow;\n"
               "                              not in WAV or AIFF\n"
               "                       Without it every sample is as the files give it.\n"
               "      --target LUFS    the loudness to reach, -40 to -5; -16 by default\n"
               "      --true-peak DBTP the highest true peak, -9 to 0; -1.0 by default: a\n"
               "                       gain that would pass it is lowered until it does not\n"
               "      --measure        print each file's playing length in seconds, one line\n"
               "                       per file in the given order, and join nothing\n"
               "  -h, --help           show this help and exit\n"
               "      --version        show the version and exit\n"
               "\n"
               "At most 1000 files, and 99 with a cue sheet. OUTPUT, the cue sheet and the\n"
               "label list may not be one of them, nor each other; each is checked before\n"
               "any file is read. A progress line is shown when standard error is a\n"
               "terminal; Ctrl-C stops and leaves a valid file of what was written, with the\n"
               "markers of the files it reached. The cue sheet and the label list are only\n"
               "written when the whole join was. The files' album, artist, album artist,\n"
               "genre, date, composer and comment go into OUTPUT where they all agree, else\n"
               "the first file's that has one.\n"
               "\n"
               "When every file already holds OUTPUT's codec at OUTPUT's rate, channels\n"
               "and bits (FLAC to .flac, MP3 with a LAME tag to .mp3, AAC-LC in M4A or\n"
               "MP4 with an edit list to .m4a and .m4b), and no option asks for other\n"
               "sound (--bitrate, --quality, --reencode), their frames are copied as\n"
               "they are, but for a few MP3 or AAC frames around each join (AAC: where\n"
               "its frames fall on OUTPUT's, as in the parts of one encoding cut apart\n"
               "by copying); otherwise every file is decoded and encoded. The progress\n"
               "line says which: \"copying frames\" or \"encoding\".\n"
               "\n"
               "Exit status: 0 when the whole file was written, 1 when the join failed or\n"
               "was refused, 2 for wrong arguments, 130 when stopped by Ctrl-C.\n")
        .arg(program);
}

} // namespace kestrine

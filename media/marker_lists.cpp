// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/marker_lists.h"

#include "media/ffmpeg.h"
#include "media/partial_file.h"
#include "output/framework/output_path_check.h"

#include <cctype>
#include <cstdio>
#include <filesystem>

namespace kestrine {
namespace {

constexpr int kCueFramesPerSecond = 75;
constexpr int kMicrosecondsPerSecond = 1'000'000;

// A name that stays on its own line and inside its field: control characters
// (a tab, a line break in a file name) become spaces.
std::string plainName(const std::string& name, char quote)
{
    std::string plain = name;
    for (char& c : plain) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            c = ' ';
        else if (c == '"')
            c = quote;
    }
    return plain;
}

std::string cueTime(std::int64_t frame, int sampleRate)
{
    const std::int64_t cueFrames = av_rescale_rnd(frame, kCueFramesPerSecond, sampleRate, AV_ROUND_NEAR_INF);
    const std::int64_t seconds = cueFrames / kCueFramesPerSecond;
    char text[48];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60),
                  static_cast<long long>(cueFrames % kCueFramesPerSecond));
    return text;
}

std::string labelTime(std::int64_t frame, int sampleRate)
{
    const std::int64_t micros = av_rescale_rnd(frame, kMicrosecondsPerSecond, sampleRate, AV_ROUND_NEAR_INF);
    char text[48];
    std::snprintf(text, sizeof text, "%lld.%06lld", static_cast<long long>(micros / kMicrosecondsPerSecond),
                  static_cast<long long>(micros % kMicrosecondsPerSecond));
    return text;
}

// The file type a cue sheet knows the joined file as: MP3 for MP3, AIFF for
// AIFF, and WAVE, which players take as "decode it", for everything else.
std::string cueFileType(const std::string& audioFile)
{
    std::string extension = std::filesystem::path(audioFile).extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".mp3")
        return "MP3";
    if (extension == ".aif" || extension == ".aiff")
        return "AIFF";
    return "WAVE";
}

// The joined file as the list at `listPath` names it: relative to the
// list's own folder, so that the two can move together.
std::string nameSeenFrom(const std::string& listPath, const std::string& outputPath)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path output = fs::absolute(outputPath, error).lexically_normal();
    const fs::path folder = fs::absolute(listPath, error).lexically_normal().parent_path();
    const fs::path relative = output.lexically_relative(folder);
    return error || relative.empty() ? fs::path(outputPath).filename().string() : relative.string();
}

// Whatever stood at `path` stays whole until the new text is on the disk.
MediaResult replaceFile(const std::string& path, const std::string& text)
{
    PartialFile file;
    if (failed(createPartialFile(path, file)))
        return result::kMarkerListFailed;
    if (failed(writeAll(file.fd, reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), 0)) ||
        failed(commitPartialFile(file))) {
        discardPartialFile(file);
        return result::kMarkerListFailed;
    }
    return result::kOk;
}

} // namespace

std::string cueSheetText(const std::vector<Marker>& markers, int sampleRate, const std::string& audioFile)
{
    std::string text = "FILE \"" + plainName(audioFile, '\'') + "\" " + cueFileType(audioFile) + "\n";
    for (std::size_t i = 0; i < markers.size(); ++i) {
        char track[48];
        std::snprintf(track, sizeof track, "  TRACK %02zu AUDIO\n", i + 1);
        text += track;
        text += "    TITLE \"" + plainName(markers[i].label, '\'') + "\"\n";
        text += "    INDEX 01 " + cueTime(markers[i].frame, sampleRate) + "\n";
    }
    return text;
}

std::string labelListText(const std::vector<Marker>& markers, int sampleRate, std::int64_t endFrame)
{
    std::string text;
    for (std::size_t i = 0; i < markers.size(); ++i) {
        const std::int64_t end = i + 1 < markers.size() ? markers[i + 1].frame : endFrame;
        text += labelTime(markers[i].frame, sampleRate) + '\t' + labelTime(end, sampleRate) + '\t' +
                plainName(markers[i].label, '"') + '\n';
    }
    return text;
}

MediaResult checkMarkerLists(const MarkerOptions& options, const std::string& outputPath,
                             const std::vector<std::string>& sources)
{
    const auto clashes = [&](const std::string& list, const std::string& other) {
        if (list.empty())
            return false;
        std::vector<std::string> written{outputPath};
        if (!other.empty())
            written.push_back(other);
        return failed(checkSideFilePath(list, written, sources));
    };
    if (clashes(options.cueSheet, options.labelList) || clashes(options.labelList, options.cueSheet))
        return result::kMarkerListClash;
    if (!options.cueSheet.empty() && sources.size() > kMostCueTracks)
        return result::kCueSheetTooLong;
    return result::kOk;
}

MediaResult checkCueSheetTracks(const RenderPlan& plan, const MarkerOptions& options)
{
    if (!options.cueSheet.empty() && sourceStartsOf(plan).size() > kMostCueTracks)
        return result::kCueSheetTooManyChapters;
    return result::kOk;
}

MediaResult writeMarkerLists(const RenderPlan& plan, const std::string& outputPath,
                             const MarkerOptions& options)
{
    const std::vector<Marker> starts = sourceStartsOf(plan);
    const int rate = plan.format.sampleRate;
    if (!options.cueSheet.empty()) {
        const std::string text = cueSheetText(starts, rate, nameSeenFrom(options.cueSheet, outputPath));
        if (const MediaResult written = replaceFile(options.cueSheet, text); failed(written))
            return written;
    }
    if (!options.labelList.empty())
        return replaceFile(options.labelList, labelListText(starts, rate, plan.totalFrames));
    return result::kOk;
}

} // namespace kestrine

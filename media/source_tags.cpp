// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/source_tags.h"

#include "media/media_input.h"
#include "media/utf8_text.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fstream>
#include <iterator>

namespace kestrine {
namespace {

std::string tagOf(const AVFormatContext& context, const char* key)
{
    if (const AVDictionaryEntry* entry = av_dict_get(context.metadata, key, nullptr, 0);
        entry && entry->value[0] != '\0')
        return entry->value;
    for (unsigned i = 0; i < context.nb_streams; ++i) {
        const AVStream* stream = context.streams[i];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
            continue;
        if (const AVDictionaryEntry* entry = av_dict_get(stream->metadata, key, nullptr, 0);
            entry && entry->value[0] != '\0')
            return entry->value;
    }
    return {};
}

// What the picture's own first bytes say it is; empty for anything but
// JPEG and PNG, which are the images every player shows.
std::string pictureType(const std::uint8_t* data, std::size_t size)
{
    static constexpr std::uint8_t kPng[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (size >= 3 && data[0] == 0xff && data[1] == 0xd8 && data[2] == 0xff)
        return "image/jpeg";
    if (size >= sizeof kPng && std::equal(kPng, kPng + sizeof kPng, data))
        return "image/png";
    return {};
}

bool isFrontCover(const AVStream& stream)
{
    const AVDictionaryEntry* comment = av_dict_get(stream.metadata, "comment", nullptr, 0);
    return comment && std::string(comment->value) == "Cover (front)";
}

} // namespace

std::string imageTypeOf(const std::vector<std::uint8_t>& bytes)
{
    return pictureType(bytes.data(), bytes.size());
}

SourceTags tagsOf(const AVFormatContext& context)
{
    SourceTags tags;
    tags.title = tagOf(context, "title");
    for (const char* key : kCarriedTags)
        if (std::string value = tagOf(context, key); !value.empty())
            tags.fields.emplace_back(key, std::move(value));
    // A front cover first; a file whose picture says nothing of its kind
    // most likely means it as the cover too.
    const AVStream* chosen = nullptr;
    for (unsigned i = 0; i < context.nb_streams; ++i) {
        const AVStream* stream = context.streams[i];
        if (!(stream->disposition & AV_DISPOSITION_ATTACHED_PIC) || stream->attached_pic.size <= 0)
            continue;
        if (isFrontCover(*stream)) {
            chosen = stream;
            break;
        }
        if (!chosen)
            chosen = stream;
    }
    if (chosen) {
        const AVPacket& picture = chosen->attached_pic;
        tags.cover.bytes.assign(picture.data, picture.data + picture.size);
        tags.cover.mimeType = imageTypeOf(tags.cover.bytes);
    }
    tags.chapters = chaptersOf(context);
    return tags;
}

MediaResult readSourceTags(const std::string& path, SourceTags& tags)
{
    MediaInput input;
    if (const MediaResult opened = openInputFile(path, input); failed(opened))
        return opened;
    tags = tagsOf(*input.format);
    return result::kOk;
}

MediaResult readCoverFile(const std::string& path, Picture& cover)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return AVERROR(errno);
    if (!S_ISREG(status.st_mode))
        return result::kSourceNotRegularFile;
    if (static_cast<std::uint64_t>(status.st_size) > kLargestCoverBytes)
        return result::kCoverTooLarge;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return AVERROR(EACCES);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.size() > kLargestCoverBytes)
        return result::kCoverTooLarge;
    const std::string type = imageTypeOf(bytes);
    if (type.empty())
        return result::kCoverNotImage;
    cover.bytes = std::move(bytes);
    cover.mimeType = type;
    return result::kOk;
}

Picture findFolderCover(const std::string& folder)
{
    // The names in the order a folder's cover is most likely meant.
    static constexpr const char* kNames[] = {"cover", "folder", "front"};
    static constexpr const char* kExtensions[] = {"jpg", "jpeg", "png"};
    std::vector<std::string> entries;
    if (DIR* directory = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(directory))
            entries.emplace_back(entry->d_name);
        ::closedir(directory);
    }
    // One order whatever the file system's.
    std::sort(entries.begin(), entries.end());
    for (const char* name : kNames)
        for (const char* extension : kExtensions)
            for (const std::string& entry : entries) {
                std::string lower = entry;
                std::transform(lower.begin(), lower.end(), lower.begin(),
                               [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
                if (lower != std::string(name) + "." + extension)
                    continue;
                Picture cover;
                if (succeeded(readCoverFile(folder + "/" + entry, cover)))
                    return cover;
            }
    return {};
}

OutputTags outputTagsOf(const std::vector<SourceTags>& sources, const std::string& firstSourcePath,
                        const TagOptions& choices)
{
    OutputTags tags;
    if (!choices.fromSources)
        return tags;
    std::vector<std::pair<std::string, std::string>> carried;
    for (const char* key : kCarriedTags) {
        // Agreement needs no vote: where all agree, the first has it too.
        for (const SourceTags& source : sources) {
            const auto found = std::find_if(source.fields.begin(), source.fields.end(),
                                            [&](const auto& field) { return field.first == key; });
            if (found != source.fields.end()) {
                carried.emplace_back(key, found->second);
                break;
            }
        }
    }
    const auto chosen = [&](const char* key, const std::string& given) {
        if (!given.empty())
            return given;
        for (const auto& [name, value] : carried)
            if (name == key)
                return value;
        return std::string();
    };
    const std::string album = chosen("album", choices.album);
    const std::string title = choices.title.empty() ? album : choices.title;
    if (!title.empty())
        tags.fields.emplace_back("title", validUtf8(title));
    for (const char* key : kCarriedTags) {
        std::string value = key == std::string("album")    ? album
                            : key == std::string("artist") ? chosen(key, choices.artist)
                                                           : chosen(key, {});
        if (!value.empty())
            tags.fields.emplace_back(key, validUtf8(value));
    }

    if (!choices.coverFile.empty()) {
        // A cover that cannot be taken is left out: the join goes on.
        (void)readCoverFile(choices.coverFile, tags.cover);
        return tags;
    }
    for (const SourceTags& source : sources)
        if (!source.cover.empty() && !source.cover.mimeType.empty() &&
            source.cover.bytes.size() <= kLargestCoverBytes) {
            tags.cover = source.cover;
            return tags;
        }
    const std::size_t slash = firstSourcePath.find_last_of('/');
    tags.cover = findFolderCover(slash == std::string::npos ? "." : firstSourcePath.substr(0, std::max<std::size_t>(slash, 1)));
    return tags;
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/source_tags.h"

#include "media/media_input.h"

#include <algorithm>

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

} // namespace kestrine

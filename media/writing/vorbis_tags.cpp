// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/writing/vorbis_tags.h"

#include "media/ffmpeg.h"

namespace kestrine {
namespace {

constexpr std::uint32_t kFrontCover = 3;

constexpr std::pair<const char*, const char*> kCommentNames[] = {
    {"title", "TITLE"}, {"album", "ALBUM"}, {"artist", "ARTIST"}, {"album_artist", "ALBUMARTIST"},
    {"genre", "GENRE"}, {"date", "DATE"},   {"composer", "COMPOSER"}, {"comment", "COMMENT"}};

void putBigEndian32(std::vector<std::uint8_t>& out, std::uint64_t value)
{
    for (int i = 3; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

} // namespace

std::vector<std::pair<std::string, std::string>> vorbisCommentsOf(const OutputTags& tags)
{
    std::vector<std::pair<std::string, std::string>> comments;
    for (const auto& [name, comment] : kCommentNames)
        if (std::string value = tags.valueOf(name); !value.empty())
            comments.emplace_back(comment, std::move(value));
    return comments;
}

std::vector<std::uint8_t> flacPictureOf(const Picture& cover)
{
    std::vector<std::uint8_t> body;
    putBigEndian32(body, kFrontCover);
    putBigEndian32(body, cover.mimeType.size());
    body.insert(body.end(), cover.mimeType.begin(), cover.mimeType.end());
    putBigEndian32(body, 0); // no description
    for (int i = 0; i < 4; ++i)
        putBigEndian32(body, 0); // width, height, depth, colours: not told
    putBigEndian32(body, cover.bytes.size());
    body.insert(body.end(), cover.bytes.begin(), cover.bytes.end());
    return body;
}

std::string metadataBlockPictureOf(const Picture& cover)
{
    const std::vector<std::uint8_t> body = flacPictureOf(cover);
    std::string text(AV_BASE64_SIZE(body.size()), '\0');
    if (!av_base64_encode(text.data(), static_cast<int>(text.size()), body.data(), static_cast<int>(body.size())))
        return {};
    text.resize(text.size() - 1); // its terminating zero
    return text;
}

} // namespace kestrine

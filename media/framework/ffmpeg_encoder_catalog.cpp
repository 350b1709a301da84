// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/framework/ffmpeg_encoder_catalog.h"

#include "media/ffmpeg.h"

namespace kestrine {

namespace {

std::vector<std::string> encodersOfType(AVMediaType type)
{
    std::vector<std::string> names;
    void* iterator = nullptr;
    while (const AVCodec* codec = av_codec_iterate(&iterator)) {
        if (codec->type != type || !av_codec_is_encoder(codec))
            continue;
        const char* name = codec->long_name && *codec->long_name ? codec->long_name : codec->name;
        names.emplace_back(name ? name : "");
    }
    return names;
}

} // namespace

MediaResult FfmpegEncoderCatalog::videoEncoders(std::vector<std::string>& names) const
{
    names = encodersOfType(AVMEDIA_TYPE_VIDEO);
    return result::kOk;
}

MediaResult FfmpegEncoderCatalog::audioEncoders(std::vector<std::string>& names) const
{
    names = encodersOfType(AVMEDIA_TYPE_AUDIO);
    return result::kOk;
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/framework/ffmpeg_encoder_catalog.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kestrine {
namespace {

bool contains(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(FfmpegEncoderCatalogTest, ListsEncodersOfEachKindByTheirLongName)
{
    FfmpegEncoderCatalog catalog;
    std::vector<std::string> audio;
    std::vector<std::string> video;
    ASSERT_EQ(catalog.audioEncoders(audio), result::kOk);
    ASSERT_EQ(catalog.videoEncoders(video), result::kOk);

    // Encoders every FFmpeg build has, each in its own list only.
    EXPECT_TRUE(contains(audio, "PCM signed 16-bit little-endian"));
    EXPECT_TRUE(contains(video, "raw video"));
    EXPECT_FALSE(contains(video, "PCM signed 16-bit little-endian"));
    EXPECT_FALSE(contains(audio, "raw video"));
    // A decoder that has no encoder of that name is no choice for writing.
    EXPECT_FALSE(contains(audio, "MP3 (MPEG audio layer 3)"));
    EXPECT_TRUE(std::none_of(audio.begin(), audio.end(), [](const std::string& n) { return n.empty(); }));

    // Asking twice gives the same list in the same order.
    std::vector<std::string> again;
    catalog.audioEncoders(again);
    EXPECT_EQ(again, audio);
}

} // namespace
} // namespace kestrine

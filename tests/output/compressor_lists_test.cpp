// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/compressor_lists.h"

#include "tests/support/recording_dialogs.h"

#include <gtest/gtest.h>

namespace kestrine::testing {
namespace {

class ScriptedCatalog : public EncoderCatalog {
public:
    MediaResult videoEncoders(std::vector<std::string>& names) const override
    {
        if (succeeded(videoResult))
            names = video;
        return videoResult;
    }
    MediaResult audioEncoders(std::vector<std::string>& names) const override
    {
        if (succeeded(audioResult))
            names = audio;
        return audioResult;
    }

    std::vector<std::string> video;
    std::vector<std::string> audio;
    MediaResult videoResult = result::kOk;
    MediaResult audioResult = result::kOk;
};

TEST(CompressorListsTest, NoCompressorComesFirstThenTheCatalogInItsOrder)
{
    ScriptedCatalog catalog;
    catalog.video = {"H.264 / AVC", "Motion JPEG"};
    catalog.audio = {"MP3 (MPEG audio layer 3)", "", "FLAC (Free Lossless Audio Codec)"};
    RecordingDialogs dialogs;
    // Leftovers of an earlier fill must go.
    QStringList video{"stale"};
    QStringList audio{"stale"};

    EXPECT_EQ(fillVideoCompressors(video, catalog, dialogs), result::kOk);
    EXPECT_EQ(fillAudioCompressors(audio, catalog, dialogs), result::kOk);

    EXPECT_EQ(video, QStringList({"Full frames (uncompressed)", "H.264 / AVC", "Motion JPEG"}));
    // An encoder without a name is skipped quietly.
    EXPECT_EQ(audio, QStringList({"Uncompressed Audio", "MP3 (MPEG audio layer 3)",
                                  "FLAC (Free Lossless Audio Codec)"}));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST(CompressorListsTest, EmptyCategoryLeavesOnlyTheFirstEntry)
{
    ScriptedCatalog catalog;
    RecordingDialogs dialogs;
    QStringList audio;
    EXPECT_EQ(fillAudioCompressors(audio, catalog, dialogs), result::kOk);
    EXPECT_EQ(audio, QStringList{"Uncompressed Audio"});
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

struct CatalogFailureCase {
    MediaResult code;
    const char* message;
    friend void PrintTo(const CatalogFailureCase& tested, std::ostream* out)
    {
        *out << std::hex << static_cast<std::uint32_t>(tested.code) << " " << tested.message;
    }
};

class CompressorListFailureTest : public ::testing::TestWithParam<CatalogFailureCase> {};

TEST_P(CompressorListFailureTest, IsToldAndLeavesTheFirstEntry)
{
    ScriptedCatalog catalog;
    catalog.video = {"never listed"};
    catalog.audio = {"never listed"};
    catalog.videoResult = GetParam().code;
    catalog.audioResult = GetParam().code;
    RecordingDialogs dialogs;
    QStringList video;
    QStringList audio;

    EXPECT_EQ(fillVideoCompressors(video, catalog, dialogs), GetParam().code);
    // One list failing does not keep the other from being filled and told.
    EXPECT_EQ(fillAudioCompressors(audio, catalog, dialogs), GetParam().code);

    EXPECT_EQ(video, QStringList{"Full frames (uncompressed)"});
    EXPECT_EQ(audio, QStringList{"Uncompressed Audio"});
    EXPECT_EQ(dialogs.texts(), QStringList({GetParam().message, GetParam().message}));
    EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("kestrine"));
}

INSTANTIATE_TEST_SUITE_P(
    Catalog, CompressorListFailureTest,
    ::testing::Values(CatalogFailureCase{result::kNotRegistered, "Failed to create system enumerator"},
                      CatalogFailureCase{result::kFail, "Failed to create class enumerator"},
                      CatalogFailureCase{result::kOutOfMemory, "Failed to create class enumerator"}));

} // namespace
} // namespace kestrine::testing

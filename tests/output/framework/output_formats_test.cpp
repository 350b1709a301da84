// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/framework/output_formats.h"

#include <gtest/gtest.h>

namespace kestrine::testing {
namespace {

// Names of media formats Kestrine cannot write are refused, in any case;
// names it writes, names that are no media format and names with no
// extension are not.
TEST(OutputFormats, RefusesTheNamesOfMediaFormatsItCannotWrite)
{
    const struct {
        const char* path;
        bool refused;
    } cases[] = {
        {"/a/join.aac", true},   {"/a/join.WMA", true},    {"join.mp4", true},        {"/a/join.Mkv", true},
        {"/a/join.m4p", true},   {"/a/join.wav", false},   {"/a/join.flac", false},   {"/a/join.mp3", false},
        {"/a/join.M4A", false},  {"/a/book.M4B", false},  {"/a/join.opus", false},  {"/a/join.ogg", false},    {"/a/join.OGG", false},
        {"/a/join.AIFF", false}, {"/a/join.aif", false},   {"/a/join", false},        {"/a.aac/join", false},
        {"/a/notes.txt", false}, {"/a/join.aac.part", false}, {"/a/join.", false},    {"/a/.aac", true},
    };
    for (const auto& each : cases)
        EXPECT_EQ(isUnwritableMediaName(each.path), each.refused) << each.path;
}

TEST(OutputFormats, TheRefusalIsOneSentenceThatNamesTheExtensionAndWhatIsWritten)
{
    EXPECT_EQ(unwritableFormatText("/a/join.AAC"),
              "Kestrine cannot write .aac files: it writes WAV (.wav), FLAC (.flac), MP3 (.mp3), M4A (.m4a), M4B (.m4b), "
              "Opus (.opus, .ogg) and AIFF (.aif, .aiff).");
}

} // namespace
} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/ffmpeg.h"
#include "media/result_text.h"

#include <gtest/gtest.h>

#include <map>

namespace kestrine {
namespace {

// Every code of ours, as the header defines them: a new code without a text
// of its own reads like one nobody defined, and fails here.
TEST(DescribeResult, EveryCodeHasItsOwnShortSentence)
{
    const std::string undefined = describeResult(result::makeFailure(0x8004FFFFu));
    std::map<std::string, MediaResult> texts;
    for (MediaResult code : result::kAllCodes) {
        const std::string text = describeResult(code);
        EXPECT_FALSE(text.empty()) << std::hex << code;
        EXPECT_LE(text.size(), 160u) << std::hex << code;
        EXPECT_NE(text, undefined) << std::hex << code << " has no text of its own";
        const auto [first, added] = texts.emplace(text, code);
        EXPECT_TRUE(added) << std::hex << code << " and " << first->second << " share \"" << text << '"';
    }
    EXPECT_GE(std::size(result::kAllCodes), 31u) << "the list of codes lost some";
}

TEST(DescribeResult, FfmpegErrorsAreWordedForUsers)
{
    EXPECT_EQ(describeResult(AVERROR(ENOENT)), "The file does not exist.");
    EXPECT_EQ(describeResult(AVERROR(ENOSPC)), "The disk is full.");
    EXPECT_EQ(describeResult(AVERROR_INVALIDDATA),
              "The file is not a media file that can be read, or its data is damaged.");
    // Anything else still says something, within the limit.
    for (MediaResult code : {AVERROR(ETIMEDOUT), AVERROR_BUG, MediaResult{-123456}}) {
        const std::string text = describeResult(code);
        EXPECT_FALSE(text.empty());
        EXPECT_LE(text.size(), 160u);
    }
}

} // namespace
} // namespace kestrine

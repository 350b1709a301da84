// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/ffmpeg.h"
#include "media/result_text.h"

#include <gtest/gtest.h>

#include <set>

namespace kestrine {
namespace {

TEST(DescribeResult, EveryCodeHasItsOwnShortSentence)
{
    const MediaResult codes[] = {result::kOk, result::kFalse, result::kFail, result::kUnexpected,
                                 result::kInvalidArgument, result::kOutOfMemory, result::kNoInterface,
                                 result::kNotRegistered, result::kNoEvent, result::kNotConnected,
                                 result::kWrongState, result::kNoTimeline, result::kNoGroup,
                                 result::kNoFileName, result::kCannotOpenSource, result::kNoAudioStream,
                                 result::kNoDecoder, result::kDecodeFailed, result::kCannotCreateOutput,
                                 result::kWriteFailed, result::kDiskFull, result::kNoEncoder,
                                 result::kStopped, result::kMarkerListClash, result::kMarkerListFailed};
    std::set<std::string> texts;
    for (MediaResult code : codes) {
        const std::string text = describeResult(code);
        EXPECT_FALSE(text.empty()) << code;
        EXPECT_LE(text.size(), 160u) << code;
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), std::size(codes)) << "two codes share a text";
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

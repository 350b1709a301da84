// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <cstdint>

namespace kestrine {

// Every media framework operation answers with one of these; negative is failure.
// Our own codes live in the 0x8004xxxx range, far from FFmpeg's AVERROR values.
// Where FFmpeg says why a source would not open (AVERROR(ENOENT),
// AVERROR(EACCES), AVERROR_INVALIDDATA ...), the engine passes its code on
// unchanged, and one text function serves both kinds.
using MediaResult = std::int32_t;

constexpr bool succeeded(MediaResult result) { return result >= 0; }
constexpr bool failed(MediaResult result) { return result < 0; }

namespace result {
constexpr MediaResult makeFailure(std::uint32_t code) { return static_cast<MediaResult>(code); }

// Every code, once: a new code goes into this list, and the constants below
// and kAllCodes are made from it, so neither can miss a code.
#define KESTRINE_RESULT_CODES(X) \
    X(kOk, 0) \
    X(kFalse, 1) \
    X(kFail, makeFailure(0x80004005u)) \
    X(kUnexpected, makeFailure(0x8000FFFFu)) \
    X(kInvalidArgument, makeFailure(0x80070057u)) \
    X(kOutOfMemory, makeFailure(0x8007000Eu)) \
    X(kNoInterface, makeFailure(0x80004002u)) \
    X(kNotRegistered, makeFailure(0x80040154u)) \
    X(kNoEvent, makeFailure(0x80040201u)) \
    X(kNotConnected, makeFailure(0x80040209u)) \
    X(kWrongState, makeFailure(0x80040227u)) \
    X(kNoTimeline, makeFailure(0x80040400u)) \
    X(kNoGroup, makeFailure(0x80040401u)) \
    X(kNoFileName, makeFailure(0x80040402u)) \
    /* For a framework that cannot say why; the FFmpeg engine gives FFmpeg's reason. */ \
    X(kCannotOpenSource, makeFailure(0x80040410u)) \
    X(kNoAudioStream, makeFailure(0x80040411u)) \
    X(kNoDecoder, makeFailure(0x80040412u)) \
    X(kDecodeFailed, makeFailure(0x80040413u)) \
    X(kSourceNotRegularFile, makeFailure(0x80040414u)) \
    X(kUnsupportedRate, makeFailure(0x80040415u)) \
    X(kSourceShrank, makeFailure(0x80040416u)) \
    X(kCannotCreateOutput, makeFailure(0x80040420u)) \
    X(kWriteFailed, makeFailure(0x80040421u)) \
    X(kDiskFull, makeFailure(0x80040422u)) \
    X(kOutputIsSource, makeFailure(0x80040423u)) \
    X(kOutputNotRegularFile, makeFailure(0x80040424u)) \
    X(kOutputLost, makeFailure(0x80040425u)) \
    X(kNoEncoder, makeFailure(0x80040426u)) \
    X(kUnwritableFormat, makeFailure(0x80040427u)) \
    X(kOutputTooLarge, makeFailure(0x80040429u)) \
    X(kOutputBusy, makeFailure(0x8004042Au)) \
    X(kStopped, makeFailure(0x80040430u)) \
    X(kMarkerListClash, makeFailure(0x80040440u)) \
    X(kMarkerListFailed, makeFailure(0x80040441u)) \
    X(kCueSheetTooLong, makeFailure(0x80040448u)) \
    X(kCueSheetTooManyChapters, makeFailure(0x80040442u)) \
    X(kCoverNotImage, makeFailure(0x80040449u)) \
    X(kCoverTooLarge, makeFailure(0x8004044Au))

#define KESTRINE_RESULT_CONSTANT(name, value) inline constexpr MediaResult name = value;
KESTRINE_RESULT_CODES(KESTRINE_RESULT_CONSTANT)
#undef KESTRINE_RESULT_CONSTANT

#define KESTRINE_RESULT_ENTRY(name, value) name,
inline constexpr MediaResult kAllCodes[] = {KESTRINE_RESULT_CODES(KESTRINE_RESULT_ENTRY)};
#undef KESTRINE_RESULT_ENTRY

// A system error as FFmpeg's AVERROR(error) spells it, so that one text
// function names it wherever it came from.
constexpr MediaResult resultOfSystemError(int error) { return -error; }
} // namespace result

} // namespace kestrine

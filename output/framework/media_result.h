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

inline constexpr MediaResult kOk = 0;
inline constexpr MediaResult kFalse = 1;
inline constexpr MediaResult kFail = makeFailure(0x80004005u);
inline constexpr MediaResult kUnexpected = makeFailure(0x8000FFFFu);
inline constexpr MediaResult kInvalidArgument = makeFailure(0x80070057u);
inline constexpr MediaResult kOutOfMemory = makeFailure(0x8007000Eu);
inline constexpr MediaResult kNoInterface = makeFailure(0x80004002u);
inline constexpr MediaResult kNotRegistered = makeFailure(0x80040154u);
inline constexpr MediaResult kNoEvent = makeFailure(0x80040201u);
inline constexpr MediaResult kNotConnected = makeFailure(0x80040209u);
inline constexpr MediaResult kWrongState = makeFailure(0x80040227u);
inline constexpr MediaResult kNoTimeline = makeFailure(0x80040400u);
inline constexpr MediaResult kNoGroup = makeFailure(0x80040401u);
inline constexpr MediaResult kNoFileName = makeFailure(0x80040402u);
// For a framework that cannot say why; the FFmpeg engine gives FFmpeg's reason.
inline constexpr MediaResult kCannotOpenSource = makeFailure(0x80040410u);
inline constexpr MediaResult kNoAudioStream = makeFailure(0x80040411u);
inline constexpr MediaResult kNoDecoder = makeFailure(0x80040412u);
inline constexpr MediaResult kDecodeFailed = makeFailure(0x80040413u);
inline constexpr MediaResult kSourceNotRegularFile = makeFailure(0x80040414u);
inline constexpr MediaResult kUnsupportedRate = makeFailure(0x80040415u);
inline constexpr MediaResult kSourceShrank = makeFailure(0x80040416u);
inline constexpr MediaResult kCannotCreateOutput = makeFailure(0x80040420u);
inline constexpr MediaResult kWriteFailed = makeFailure(0x80040421u);
inline constexpr MediaResult kDiskFull = makeFailure(0x80040422u);
inline constexpr MediaResult kOutputIsSource = makeFailure(0x80040423u);
inline constexpr MediaResult kOutputNotRegularFile = makeFailure(0x80040424u);
inline constexpr MediaResult kOutputLost = makeFailure(0x80040425u);
inline constexpr MediaResult kNoEncoder = makeFailure(0x80040426u);
inline constexpr MediaResult kOutputBusy = makeFailure(0x8004042Au);
inline constexpr MediaResult kStopped = makeFailure(0x80040430u);
inline constexpr MediaResult kMarkerListClash = makeFailure(0x80040440u);
inline constexpr MediaResult kMarkerListFailed = makeFailure(0x80040441u);
inline constexpr MediaResult kCueSheetTooLong = makeFailure(0x80040448u);

// A system error as FFmpeg's AVERROR(error) spells it, so that one text
// function names it wherever it came from.
constexpr MediaResult resultOfSystemError(int error) { return -error; }
} // namespace result

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/ffmpeg.h"
#include "media/result_text.h"

#include <cerrno>

namespace kestrine {
namespace {

constexpr std::size_t kMaxTextLength = 160;

const char* describeOwnResult(MediaResult code)
{
    switch (code) {
    case result::kOk: return "The operation completed successfully.";
    case result::kFalse: return "The operation completed, but had nothing to do.";
    case result::kFail: return "The operation failed.";
    case result::kUnexpected: return "An unexpected error occurred.";
    case result::kInvalidArgument: return "A value given to the operation is not valid.";
    case result::kOutOfMemory: return "There is not enough memory to complete the operation.";
    case result::kNoInterface: return "This component does not offer the requested feature.";
    case result::kNotRegistered: return "A component that the program needs is not installed.";
    case result::kNoEvent: return "No event is waiting.";
    case result::kNotConnected: return "The components of the join are not connected.";
    case result::kWrongState: return "The operation is not possible in the join's current state.";
    case result::kNoTimeline: return "There is no timeline to render.";
    case result::kNoGroup: return "The timeline has no group of that number.";
    case result::kNoFileName: return "No file name has been given.";
    case result::kCannotOpenSource: return "A source file could not be opened or is not a media file.";
    case result::kNoAudioStream: return "The file has no sound track.";
    case result::kNoDecoder: return "The file's sound is in a format that cannot be decoded.";
    case result::kDecodeFailed: return "The sound of a file could not be decoded; the file may be damaged.";
    case result::kSourceNotRegularFile: return "A source is not a regular file (a pipe, a device or a folder).";
    case result::kUnsupportedRate: return "The file's sample rate is higher than the program can convert (768,000 Hz at most).";
    case result::kSourceShrank: return "A source file is shorter than when it was added.";
    case result::kCannotCreateOutput: return "The output file could not be created. Check the folder and its permissions.";
    case result::kWriteFailed: return "Writing the output file failed.";
    case result::kOutputIsSource: return "The output file is one of the files to join, or that cannot be ruled out.";
    case result::kOutputNotRegularFile: return "The output exists and is not a regular file (a folder, a device or a pipe).";
    case result::kOutputLost: return "The output file or its folder was removed while the join wrote it.";
    case result::kNoEncoder: return "The encoder or container for the output's format is missing from this FFmpeg.";
    case result::kOutputBusy: return "Another join is writing the same output file right now; this one wrote nothing.";
    case result::kUnwritableFormat: return "The output's name asks for a format Kestrine cannot write: it writes WAV, FLAC, MP3, M4A, Opus (.opus, .ogg) and AIFF (.aif, .aiff).";
    case result::kOutputTooLarge: return "The join is too long for an AIFF file, which holds at most 4 GiB (about 6 hours 45 minutes of CD-quality stereo sound); write it as WAV or FLAC.";
    case result::kDiskFull: return "The disk is full; the output file could not be completed.";
    case result::kStopped: return "The join was stopped before it was complete.";
    case result::kMarkerListClash: return "A cue sheet or label list would overwrite the output, a file to join or each other.";
    case result::kMarkerListFailed: return "The join is complete, but its cue sheet or label list could not be written.";
    case result::kCoverNotImage: return "The cover is not a JPEG or PNG image.";
    case result::kCoverTooLarge: return "The cover is larger than 16 MB.";
    case result::kCueSheetTooLong: return "A cue sheet holds at most 99 tracks, one per file; the join has more files.";
    case result::kCueSheetTooManyChapters:
        return "A cue sheet holds at most 99 tracks, one per chapter; the files' chapters make more. Join without "
               "the cue sheet, or with a label list.";
    default: return nullptr;
    }
}

// FFmpeg's errors in words for a user rather than a developer.
const char* describeFfmpegError(int error)
{
    switch (error) {
    case AVERROR(ENOENT): return "The file does not exist.";
    case AVERROR(EACCES):
    case AVERROR(EPERM): return "Permission to read or write the file was denied.";
    case AVERROR(ELOOP): return "The file's path holds a loop of symbolic links.";
    case AVERROR(ENOTDIR): return "A part of the file's path is not a folder.";
    case AVERROR(ENAMETOOLONG): return "The file's name or path is too long.";
    case AVERROR(EIO): return "The file could not be read.";
    case AVERROR(ENOSPC): return "The disk is full.";
    case AVERROR(ENOMEM): return "There is not enough memory to complete the operation.";
    case AVERROR(EISDIR): return "A folder was given where a file was expected.";
    case AVERROR(EROFS): return "The disk is read-only.";
    case AVERROR(EINVAL): return "A value given to the media library is not valid.";
    case AVERROR_INVALIDDATA: return "The file is not a media file that can be read, or its data is damaged.";
    case AVERROR_EOF: return "The file ended sooner than expected.";
    case AVERROR_DECODER_NOT_FOUND: return "No decoder is available for the file's sound.";
    case AVERROR_DEMUXER_NOT_FOUND: return "The file's format is not recognised.";
    case AVERROR_STREAM_NOT_FOUND: return "The file has no sound track.";
    case AVERROR_PATCHWELCOME: return "The file uses a feature that is not supported.";
    case AVERROR_EXIT: return "The operation was cancelled.";
    default: return nullptr;
    }
}

} // namespace

std::string describeResult(MediaResult code)
{
    if (const char* own = describeOwnResult(code))
        return own;
    if (const char* ffmpeg = describeFfmpegError(code))
        return ffmpeg;
    char detail[AV_ERROR_MAX_STRING_SIZE] = {};
    if (code < 0 && av_strerror(code, detail, sizeof detail) == 0) {
        std::string text = std::string("The media library reported an error: ") + detail + ".";
        return text.size() <= kMaxTextLength ? text : text.substr(0, kMaxTextLength);
    }
    return code < 0 ? "An unknown error occurred." : "The operation completed successfully.";
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

// Test media made on the spot with FFmpeg's own encoders, so no binary file
// ever enters the repository.
namespace kestrine::testmedia {

enum class MediaFormat {
    WavS16,
    WavU8,
    WavS24,
    WavS32,
    WavFloat,
    Mp3,
    Ogg,
    M4a,
    Adts, // AAC in ADTS frames, no container: every frame says its own rate
    Flac,
    AiffS16,
    Opus,
    Mp4WithVideo, // mpeg4 video plus an AAC sound track
    MkvWithVideo, // mpeg4 video plus a Vorbis sound track
};

// A sine tone. Sample n of the file holds sample (firstSample + n) of one
// endless sine, so consecutive files with matching firstSample join back into
// the continuous tone.
struct ToneSpec {
    double frequency = 440.0;
    double seconds = 1.0;
    std::int64_t frames = -1; // exact length in samples; overrides seconds when >= 0
    int sampleRate = 44100;
    int channels = 2;
    std::int64_t firstSample = 0;
    double amplitude = 0.5;
    bool variableBitRate = false; // mp3 and Vorbis: a quality instead of a bit rate
    bool frameIndex = true;       // mp3 only: false leaves out the Xing/LAME header
    bool soundTrack = true;       // false: the video formats' picture alone, for the tone's length
    int flacBits = 16;            // FLAC only: 16 or 24
    int bitRateKbps = 0;          // compressed formats: 0 is 64 kbit/s per channel
    double noise = 0.0;           // seeded white noise of this amplitude, each channel its own, over the tone
};

// Tags by FFmpeg's generic names ("title", "album" ...), as the muxer writes them.
using Tags = std::vector<std::pair<std::string, std::string>>;

enum class Status { Ok, Unavailable, Failed };

struct Generated {
    Status status = Status::Failed;
    std::string path;
    std::string message; // why it is unavailable or failed
    std::int64_t frames = 0; // samples per channel handed to the encoder

    explicit operator bool() const { return status == Status::Ok; }
};

// The file's extension for a format, with its dot.
std::string extensionOf(MediaFormat format);
std::string nameOf(MediaFormat format);
// Test lists and failures name a format rather than print its number.
inline void PrintTo(MediaFormat format, std::ostream* out)
{
    *out << nameOf(format);
}

// Writes folder/baseName + extension. Status::Unavailable when this machine's
// FFmpeg lacks the encoder or muxer, so a test can skip with the reason.
Generated writeTone(const std::string& folder, const std::string& baseName, MediaFormat format,
                    const ToneSpec& tone, const Tags& tags = {});

// Four files a join must refuse, each for a reason of its own.
struct UnjoinableFiles {
    std::string missing;     // a name with no file behind it
    std::string unreadable;  // a WAV only its owner may write, and nobody may read
    std::string text;        // plain words in a file named .mp3
    std::string silentVideo; // a video without a sound track
};

// Makes them in `folder`. Status::Unavailable when this FFmpeg cannot make
// the video, so a test can skip with the reason.
Generated writeUnjoinableFiles(const std::string& folder, UnjoinableFiles& files);

// The value in [-amplitude, amplitude] of the tone's sample n from the file's start.
double toneValue(const ToneSpec& tone, std::int64_t n);

struct WavData {
    bool ok = false;
    std::string message;
    std::string container; // libavformat's name for what it found
    int sampleRate = 0;
    int channels = 0;
    int bitsPerSample = 0;
    std::int64_t headerFrames = -1; // the length the header claims, when it gives one
    std::vector<std::int16_t> samples; // interleaved, 16-bit files only

    std::int64_t frames() const { return channels ? static_cast<std::int64_t>(samples.size()) / channels : 0; }
    std::int16_t at(std::int64_t frame, int channel) const
    {
        return samples[static_cast<std::size_t>(frame * channels + channel)];
    }
};

// Reads a 16-bit PCM WAV (or RF64) back through libavformat.
WavData readWav(const std::string& path);

struct DecodedCount {
    bool ok = false;
    std::string message;
    std::int64_t frames = 0;
    int sampleRate = 0;
};

// Decodes the first audio stream completely and counts its samples per channel,
// with the decoder's own handling of encoder delay and padding.
DecodedCount countDecodedFrames(const std::string& path);

struct ResampledSound {
    bool ok = false;
    std::string message;
    std::vector<std::int16_t> samples; // interleaved

    std::int64_t frames(int channels) const { return static_cast<std::int64_t>(samples.size()) / channels; }
};

// FFmpeg's own decoding of the first audio stream, converted by one
// libswresample context, built once, to 16-bit `channels` at `sampleRate`:
// the reference a join's sound is compared with. A channel order the file
// does not give is FFmpeg's default for the count, and mono reaches both
// sides of a stereo output at full level, as in a join.
ResampledSound resampleWithFfmpeg(const std::string& path, int sampleRate, int channels);

// A file of arbitrary bytes, for inputs that must fail.
bool writeBytes(const std::string& path, const std::string& bytes);

// Everything a file holds; empty when it cannot be read.
std::string readBytes(const std::string& path);

} // namespace kestrine::testmedia

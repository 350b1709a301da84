// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/ffmpeg.h"
#include "media/media_input.h"
#include "output/framework/media_result.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

namespace kestrine {

// Where a file's sound may be cut so that decoders started apart give,
// sample for sample, what one decoder gives from the file's start.
enum class SplitKind {
    None,     // only a decoder from the start gives it exactly
    Anywhere, // every packet decodes on its own (PCM, FLAC)
    // MPEG audio Layer III: a frame's main data may start in the frames
    // before it (the bit reservoir), and its sound overlaps the frame before;
    // a decoder started early enough has both.
    Mp3Frames,
};

// Opens the file to see how its sound may be cut. Only a stream at
// `outputRate` is cut: a resampler started at a cut would have neither the
// phase nor the filter history of one run over the whole file. AAC is not
// cut either: its noise substitution draws from a random generator that
// runs from the stream's start, so a decoder started later makes other noise.
SplitKind splitKindOf(const std::string& path, int outputRate, std::stop_token stop);

// Reads one file's audio packets from its start, forward only, counting
// where each packet's sound lands in what one decoder gives from the start
// (after the encoder delay the decoder cuts), and keeping the packets a
// decoder needs before a given frame to give it exactly.
class StretchReader {
public:
    // Opens the file and learns the encoder delay by decoding its first frame.
    static MediaResult open(const std::string& path, SplitKind kind, std::stop_token stop,
                            std::unique_ptr<StretchReader>& reader);

    // Reads on to the packet holding decoded frame `frame` and keeps the
    // packets before it that a fresh decoder needs; `firstFrame` tells which
    // decoded frame the first packet handed out begins with. A file that ends
    // first hands out nothing, and `firstFrame` is where its sound ends.
    // kFalse when this reader has read past what that needs, or cannot count
    // the packets: only a decoder from the file's start gives `frame` exactly.
    MediaResult seekTo(std::int64_t frame, std::int64_t& firstFrame);

    // For the decoder: the kept packets first, then on through the file.
    int readPacket(AVPacket* packet);

    MediaInput& input() { return input_; }
    const std::string& path() const { return path_; }

private:
    struct Kept {
        PacketPtr packet;
        std::int64_t start = 0; // in frames the decoder gives before its delay is cut
        int mainDataBytes = 0;
        bool trimmedStart = false; // the decoder cuts sound from its start
        bool trimmedEnd = false;   // or from its end
    };

    StretchReader(const std::string& path, SplitKind kind) : path_(path), kind_(kind) {}
    MediaResult learnStartSkip();
    // Reads the next packet of the stream and keeps it; a reference goes to
    // `handedBack` when given.
    int readFromFile(AVPacket* handedBack);
    void dropUnneededPackets();
    bool keptEnough() const;

    std::string path_;
    SplitKind kind_;
    MediaInput input_;
    std::deque<Kept> kept_;
    std::vector<PacketPtr> spare_; // dropped, empty, to be read into again
    std::size_t handedOut_ = 0; // of kept_, while the decoder takes them
    bool handingOut_ = false;
    std::int64_t nextStart_ = 0; // of the next packet read from the file
    std::int64_t startSkip_ = 0; // the frames the decoder cuts at the start
    bool countable_ = true;
};

} // namespace kestrine

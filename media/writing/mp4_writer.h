// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/container_writer.h"
#include "media/markers.h"
#include "media/writing/packet_sizes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrine {

// An M4A file (AAC in MP4) written by us rather than by FFmpeg's MP4 muxer,
// which in FFmpeg 5.1 keeps an index entry of about 70 bytes for every
// packet until its trailer: some 30 MB for a 200-minute join, growing with
// the length. This keeps the packets' sizes in a temporary file as they
// come, so memory stays flat however long the join; the moov box is written only
// at the end, after the sound: a file cut short has none, so no reader
// takes it for a finished one.
//
// What FFmpeg wrote and players rely on stays: the "M4A " brand, an edit
// list that trims the encoder's priming and padding (gapless, exact to the
// sample), the esds with the AAC setup, the AAC roll group, 64-bit chunk
// offsets and mdat size past 4 GiB, and the markers as chapters twice: a
// QuickTime chapter text track and a Nero chpl box. A join that ends early
// names only the sources it reached, and its last chapter ends with its sound.
// The tags and the cover are iTunes-style atoms (ilst) in the moov's udta.
//
// An audiobook is the same file under the "M4B " brand, by which players
// know to keep its place, offer its chapters and leave it out of the music.
class Mp4Writer final : public ContainerWriter {
public:
    enum class Brand { Music, Audiobook };
    Mp4Writer(int fd, std::vector<Marker> markers, Brand brand = Brand::Music, OutputTags tags = {});

    EncoderSetup encoderSetup() const override;
    bool wantsGlobalHeader() const override { return true; }
    MediaResult writeHeader(const AVCodecContext* codec) override;
    MediaResult writePacket(AVPacket& packet) override;

    // Where the first packet goes: the data of the mdat box.
    static constexpr std::uint64_t kFirstPacketOffset = 44;

    // Leaves a hole of `bytes` before the next packet, as if that much sound
    // came before it, for tests of files past 4 GiB: the hole costs no disk.
    void skipForTesting(std::uint64_t bytes);

private:
    MediaResult writeTrailer(const AVCodecContext* codec, std::int64_t frames,
                             const std::vector<Marker>& kept) override;
    MediaResult put(const std::uint8_t* data, std::size_t size);
    MediaResult flush();
    MediaResult putSampleSizes();
    MediaResult fail(MediaResult failure);

    int fd_;
    Brand brand_;
    int sampleRate_ = 0;
    int channels_ = 2;
    int frameSize_ = 0;
    std::vector<std::uint8_t> setup_; // the AAC AudioSpecificConfig
    std::vector<std::uint8_t> buffer_;
    std::uint64_t bufferAt_ = 0; // the file offset of buffer_'s first byte
    PacketSizes sizes_;
    // Where every kPacketsPerChunk-th packet starts in the file.
    std::vector<std::uint64_t> chunkOffsets_;
    // The packets' durations as runs of (count, duration): AAC gives one or two.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> durations_;
    MediaResult failure_ = result::kOk;
};

} // namespace kestrine

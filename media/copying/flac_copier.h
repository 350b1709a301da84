// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/copying/frame_copier.h"

#include <array>
#include <initializer_list>
#include <span>
#include <vector>

namespace kestrine {

// FLAC's frames are independent and lossless, so a join copies every one
// of them and the output decodes to its sources sample for sample. Each
// source's last frame may be shorter than its others, which a stream of one
// fixed block size allows only at its very end; the output is therefore a
// stream of variable block size: every frame is renumbered by its first
// sample, and both its checksums are made again. No frame is encoded, and a
// frame whose checksums fail sends the join down the encode road, where
// the decoder deals with the damage.
//
// STREAMINFO gets the true block and frame sizes and the length; its MD5
// sum stays zero, which FLAC reads as unknown: the sum of a join could only
// come from decoding every sample again.
class FlacCopier final : public FrameCopier {
public:
    std::string whyNotCopied(const MediaInput& input, const OutputFormat& format,
                             std::int64_t frames) const override;
    MediaResult describeStream(const MediaInput& first, const OutputFormat& format,
                               CodecContextPtr& stream) override;
    MediaResult copySource(MediaInput& input, std::int64_t firstFrame, std::int64_t frames, bool last,
                           const PacketWriter& write, const CopyProgress& progress,
                           std::stop_token stop) override;
    MediaResult endStream(AVCodecContext& stream, std::int64_t frames) override;

    static constexpr std::size_t kStreamInfoBytes = 34;

private:
    MediaResult copyScanned(MediaInput& input, std::int64_t firstFrame, std::int64_t frames, bool last,
                            const PacketWriter& write, const CopyProgress& progress, std::stop_token stop);
    MediaResult copyPackets(MediaInput& input, std::int64_t firstFrame, std::int64_t frames, bool last,
                            const PacketWriter& write, const CopyProgress& progress, std::stop_token stop);
    // Takes a frame into the batch written next, and counts its sizes.
    void addFrame(std::initializer_list<std::span<const std::uint8_t>> parts, int blockSize);
    // Writes the frames gathered so far as one packet.
    MediaResult writeBatch(const PacketWriter& write);

    std::array<std::uint8_t, kStreamInfoBytes> firstStreamInfo_{};
    // Block sizes of every frame but the one written last, which a stream
    // may end with whatever its size.
    int smallestBlock_ = 0;
    int largestBlock_ = 0;
    int lastBlock_ = 0;
    std::size_t smallestFrame_ = 0;
    std::size_t largestFrame_ = 0;
    PacketPtr packet_;
    std::vector<std::uint8_t> readBuffer_;
    std::vector<std::uint8_t> batch_; // whole frames, renumbered, not yet written
    std::int64_t batchFirst_ = 0;     // the batch's first sample in the join
    std::int64_t batchFrames_ = 0;
};

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/flac_copier.h"

#include "media/copying/flac_frame_scanner.h"
#include "media/copying/flac_frames.h"
#include "media/media_input.h"

#include <algorithm>
#include <cstring>

namespace kestrine {
namespace {

constexpr std::size_t kSmallestBlockAt = 0;
constexpr std::size_t kLargestBlockAt = 2;
constexpr std::size_t kSmallestFrameAt = 4;
constexpr std::size_t kLargestFrameAt = 7;
constexpr std::size_t kSamplesAt = 13; // 36 bits, from the low nibble of this byte
constexpr std::size_t kMd5At = 18;
constexpr std::size_t kMd5Bytes = 16;
// A stream's blocks hold at least this many samples, but for its last.
constexpr int kSmallestBlock = 16;
// Frames gathered before they are written: few writes, and a Stop loses none.
constexpr std::size_t kBatchBytes = 1 << 18;
constexpr std::size_t kCrc16Bytes = 2;
// Native FLAC's extradata may come with the file's magic and the block's header.
constexpr std::size_t kMagicAndBlockHeaderBytes = 8;

// The STREAMINFO of a stream's setup bytes; false when there is none.
bool streamInfoOf(const AVCodecParameters& codec, std::array<std::uint8_t, FlacCopier::kStreamInfoBytes>& info)
{
    const auto size = static_cast<std::size_t>(std::max(codec.extradata_size, 0));
    const std::uint8_t* at = codec.extradata;
    if (!at)
        return false;
    if (size >= FlacCopier::kStreamInfoBytes + kMagicAndBlockHeaderBytes && std::memcmp(at, "fLaC", 4) == 0)
        at += kMagicAndBlockHeaderBytes;
    else if (size < FlacCopier::kStreamInfoBytes)
        return false;
    std::copy_n(at, FlacCopier::kStreamInfoBytes, info.begin());
    return true;
}

std::int64_t samplesOf(const std::array<std::uint8_t, FlacCopier::kStreamInfoBytes>& info)
{
    std::int64_t samples = info[kSamplesAt] & 0x0f;
    for (std::size_t i = 1; i <= 4; ++i)
        samples = samples << 8 | info[kSamplesAt + i];
    return samples;
}

int bitsOf(const std::array<std::uint8_t, FlacCopier::kStreamInfoBytes>& info)
{
    return ((info[12] & 0x01) << 4 | info[13] >> 4) + 1;
}

void putBigEndian(std::uint8_t* at, std::uint64_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i, value >>= 8)
        at[i] = static_cast<std::uint8_t>(value);
}

} // namespace

std::string FlacCopier::whyNotCopied(const MediaInput& input, const OutputFormat& format,
                                     std::int64_t frames) const
{
    const AVCodecParameters& codec = *input.stream()->codecpar;
    if (codec.codec_id != AV_CODEC_ID_FLAC)
        return "its sound is not FLAC";
    std::array<std::uint8_t, kStreamInfoBytes> info{};
    if (!streamInfoOf(codec, info))
        return "it has no FLAC stream header";
    if (codec.sample_rate != format.sampleRate || codec.ch_layout.nb_channels != format.channels)
        return "its rate or channels differ from the output's";
    if (bitsOf(info) != format.bitsPerSample)
        return "its bit depth differs from the output's";
    // A length the header does not give is not guessed.
    if (samplesOf(info) != frames)
        return "its header does not give the length it fills";
    return {};
}

MediaResult FlacCopier::describeStream(const MediaInput& first, const OutputFormat&, CodecContextPtr& stream)
{
    if (!streamInfoOf(*first.stream()->codecpar, firstStreamInfo_))
        return result::kInvalidArgument;
    CodecContextPtr context(avcodec_alloc_context3(nullptr));
    if (!context)
        return result::kOutOfMemory;
    if (const int copied = avcodec_parameters_to_context(context.get(), first.stream()->codecpar); copied < 0)
        return copied;
    av_freep(&context->extradata);
    context->extradata = static_cast<std::uint8_t*>(av_mallocz(kStreamInfoBytes + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!context->extradata)
        return result::kOutOfMemory;
    context->extradata_size = static_cast<int>(kStreamInfoBytes);
    std::copy(firstStreamInfo_.begin(), firstStreamInfo_.end(), context->extradata);
    std::fill_n(context->extradata + kMd5At, kMd5Bytes, 0);
    packet_.reset(av_packet_alloc());
    if (!packet_)
        return result::kOutOfMemory;
    stream = std::move(context);
    return result::kOk;
}

void FlacCopier::addFrame(std::initializer_list<std::span<const std::uint8_t>> parts, int blockSize)
{
    std::size_t size = 0;
    for (const std::span<const std::uint8_t> part : parts) {
        batch_.insert(batch_.end(), part.begin(), part.end());
        size += part.size();
    }
    batchFrames_ += blockSize;
    // The block written before this one is no longer the stream's last.
    if (lastBlock_ > 0) {
        smallestBlock_ = smallestBlock_ == 0 ? lastBlock_ : std::min(smallestBlock_, lastBlock_);
        largestBlock_ = std::max(largestBlock_, lastBlock_);
    }
    lastBlock_ = blockSize;
    smallestFrame_ = smallestFrame_ == 0 ? size : std::min(smallestFrame_, size);
    largestFrame_ = std::max(largestFrame_, size);
}

MediaResult FlacCopier::writeBatch(const PacketWriter& write)
{
    if (batch_.empty())
        return result::kOk;
    // The writer only reads the packet's bytes, so they need not be FFmpeg's own.
    av_packet_unref(packet_.get());
    packet_->data = batch_.data();
    packet_->size = static_cast<int>(batch_.size());
    packet_->pts = packet_->dts = batchFirst_;
    packet_->duration = batchFrames_;
    const MediaResult written = write(*packet_);
    packet_->data = nullptr;
    packet_->size = 0;
    batchFirst_ += batchFrames_;
    batchFrames_ = 0;
    batch_.clear();
    return written;
}

MediaResult FlacCopier::copySource(MediaInput& input, std::int64_t firstFrame, std::int64_t frames, bool last,
                                   const PacketWriter& write, const CopyProgress& progress,
                                   std::stop_token stop)
{
    if (stop.stop_requested() || !input.format)
        return result::kStopped;
    batchFirst_ = firstFrame;
    batchFrames_ = 0;
    batch_.clear();
    // Frames of a native FLAC file are found by reading its bytes; in other
    // containers the demuxer hands them over whole.
    const bool native = std::strcmp(input.format->iformat->name, "flac") == 0 && input.format->pb;
    return native ? copyScanned(input, firstFrame, frames, last, write, progress, stop)
                  : copyPackets(input, firstFrame, frames, last, write, progress, stop);
}

MediaResult FlacCopier::copyScanned(MediaInput& input, std::int64_t firstFrame, std::int64_t frames, bool last,
                                    const PacketWriter& write, const CopyProgress& progress, std::stop_token stop)
{
    AVIOContext* io = input.format->pb;
    if (const std::int64_t moved = avio_seek(io, 0, SEEK_SET); moved < 0)
        return moved == AVERROR_EXIT ? result::kStopped : static_cast<MediaResult>(moved);
    FlacFrameScanner scanner([io](std::uint8_t* into, int size) {
        const int got = avio_read(io, into, size);
        return got == AVERROR_EOF ? 0 : got;
    }, readBuffer_);
    std::int64_t copied = 0;
    int pendingShortBlock = 0; // a block too short to be anything but a stream's last
    for (;;) {
        if (stop.stop_requested()) {
            // The frames gathered are whole: they make the shorter file.
            if (succeeded(writeBatch(write)))
                progress(batchFirst_);
            return result::kStopped;
        }
        ScannedFlacFrame frame;
        const MediaResult scanned = scanner.next(frame);
        if (scanned == result::kFalse)
            break;
        if (scanned == AVERROR_EXIT)
            return result::kStopped;
        // A damaged frame goes to the decoder, which knows what to do with it.
        if (scanned == AVERROR_INVALIDDATA)
            return result::kFalse;
        if (failed(scanned))
            return scanned;
        const FlacFrameHeader& header = frame.header;
        if (pendingShortBlock > 0 || copied + header.blockSize > frames)
            return result::kFalse;
        if (header.blockSize < kSmallestBlock)
            pendingShortBlock = header.blockSize;
        const std::vector<std::uint8_t> renumbered =
            renumberedFlacHeader(frame.data, header, static_cast<std::uint64_t>(firstFrame + copied));
        if (renumbered.empty())
            return result::kFalse;
        // The scanner checked the frame's CRC-16; the new one follows from it without reading the frame again.
        const std::size_t bodyBytes = frame.size - header.headerBytes - kCrc16Bytes;
        const auto stored = static_cast<std::uint16_t>(frame.data[frame.size - 2] << 8 | frame.data[frame.size - 1]);
        const std::uint16_t crc = flacCrc16Replacing(stored, flacCrc16(frame.data, header.headerBytes),
                                                     flacCrc16(renumbered.data(), renumbered.size()), bodyBytes);
        const std::uint8_t crcBytes[kCrc16Bytes] = {static_cast<std::uint8_t>(crc >> 8),
                                                    static_cast<std::uint8_t>(crc)};
        addFrame({renumbered, {frame.data + header.headerBytes, bodyBytes}, crcBytes}, header.blockSize);
        copied += header.blockSize;
        if (batch_.size() >= kBatchBytes) {
            if (const MediaResult written = writeBatch(write); failed(written))
                return written;
            progress(batchFirst_);
        }
    }
    // A short block inside the join would make the stream one that its header cannot describe.
    if (copied != frames || (pendingShortBlock > 0 && !last))
        return result::kFalse;
    if (const MediaResult written = writeBatch(write); failed(written))
        return written;
    progress(batchFirst_);
    return result::kOk;
}

MediaResult FlacCopier::copyPackets(MediaInput& input, std::int64_t firstFrame, std::int64_t frames, bool last,
                                    const PacketWriter& write, const CopyProgress& progress, std::stop_token stop)
{
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        return result::kOutOfMemory;
    std::int64_t copied = 0;
    int pendingShortBlock = 0;
    for (;;) {
        if (stop.stop_requested())
            return result::kStopped;
        const int read = av_read_frame(input.format.get(), packet.get());
        if (read == AVERROR_EOF)
            break;
        if (read == AVERROR_EXIT)
            return result::kStopped;
        if (read < 0)
            return read;
        if (packet->stream_index != input.streamIndex) {
            av_packet_unref(packet.get());
            continue;
        }
        FlacFrameHeader header;
        const bool whole = readFlacFrame(packet->data, static_cast<std::size_t>(packet->size), header);
        if (!whole || pendingShortBlock > 0 || copied + header.blockSize > frames)
            return result::kFalse;
        if (header.blockSize < kSmallestBlock)
            pendingShortBlock = header.blockSize;
        const std::vector<std::uint8_t> frame =
            renumberFlacFrame(packet->data, static_cast<std::size_t>(packet->size), header,
                              static_cast<std::uint64_t>(firstFrame + copied));
        av_packet_unref(packet.get());
        if (frame.empty())
            return result::kFalse;
        addFrame({frame}, header.blockSize);
        if (const MediaResult written = writeBatch(write); failed(written))
            return written;
        copied += header.blockSize;
        progress(firstFrame + copied);
    }
    if (copied != frames || (pendingShortBlock > 0 && !last))
        return result::kFalse;
    return result::kOk;
}

MediaResult FlacCopier::endStream(AVCodecContext& stream, std::int64_t frames)
{
    if (!stream.extradata || stream.extradata_size < static_cast<int>(kStreamInfoBytes))
        return result::kInvalidArgument;
    std::uint8_t* info = stream.extradata;
    // A stream of one frame keeps what its source said of its blocks.
    if (largestBlock_ > 0) {
        putBigEndian(info + kSmallestBlockAt, static_cast<std::uint64_t>(smallestBlock_), 2);
        putBigEndian(info + kLargestBlockAt, static_cast<std::uint64_t>(std::max(largestBlock_, lastBlock_)), 2);
    }
    putBigEndian(info + kSmallestFrameAt, smallestFrame_, 3);
    putBigEndian(info + kLargestFrameAt, largestFrame_, 3);
    const auto samples = static_cast<std::uint64_t>(frames);
    info[kSamplesAt] = static_cast<std::uint8_t>((info[kSamplesAt] & 0xf0) | ((samples >> 32) & 0x0f));
    putBigEndian(info + kSamplesAt + 1, samples & 0xffffffffu, 4);
    std::fill_n(info + kMd5At, kMd5Bytes, 0);
    return result::kOk;
}

} // namespace kestrine

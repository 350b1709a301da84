// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/decoding/source_stretches.h"

#include "media/audio_decoder.h"
#include "media/copying/mp3_frame_header.h"

#include <string_view>

namespace kestrine {
namespace {

// The most bytes of main data a Layer III frame may take from the frames
// before it: main_data_begin has nine bits in MPEG-1 (eight in MPEG-2, so
// this covers both).
constexpr int kReservoirBytes = 511;
// A frame's sound is its own samples plus the second half of the frame
// before's (the MDCT overlap), and the synthesis filter's history is the
// sound of the frame before: the two frames before the first one wanted
// must decode exactly, so each gets its reservoir; one more frame is spare.
constexpr std::size_t kExactFramesBefore = 2;
constexpr std::size_t kSpareFrames = 1;
// Frames with next to no main data of their own (very low bit rates) would
// make a reservoir's worth reach back far; past this many packets, only a
// decoder from the start is trusted.
constexpr std::size_t kMostKeptPackets = 2048;

struct Trimming {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
};

Trimming trimmingOf(const AVPacket& packet)
{
    std::size_t size = 0;
    const std::uint8_t* side = av_packet_get_side_data(&packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
    if (!side || size < 8)
        return {};
    return {AV_RL32(side), AV_RL32(side + 4)};
}

// The bytes of main data the frame holds itself; 0 when it is no frame.
int mainDataBytesOf(const AVPacket& packet, int& sampleRate)
{
    Mp3FrameHeader header;
    if (packet.size < 4 || !parseMp3FrameHeader(packet.data, header))
        return 0;
    sampleRate = header.sampleRate;
    return std::max(header.slotBytes(), 0);
}

} // namespace

SplitKind splitKindOf(const std::string& path, int outputRate, std::stop_token stop)
{
    MediaInput input;
    if (failed(openMediaInput(path, input, false, std::move(stop))) || trimsEndUnreliably(input))
        return SplitKind::None;
    const AVCodecParameters& parameters = *input.stream()->codecpar;
    if (parameters.sample_rate != outputRate)
        return SplitKind::None;
    if (parameters.codec_id == AV_CODEC_ID_FLAC)
        return SplitKind::Anywhere;
    if (parameters.codec_id == AV_CODEC_ID_MP3)
        return SplitKind::Mp3Frames;
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(parameters.codec_id);
    if (descriptor && std::string_view(descriptor->name).starts_with("pcm_"))
        return SplitKind::Anywhere;
    return SplitKind::None;
}

MediaResult StretchReader::open(const std::string& path, SplitKind kind, std::stop_token stop,
                                std::unique_ptr<StretchReader>& reader)
{
    std::unique_ptr<StretchReader> made(new StretchReader(path, kind));
    if (const MediaResult opened = openMediaInput(path, made->input_, true, std::move(stop)); failed(opened))
        return opened;
    if (const MediaResult learned = made->learnStartSkip(); failed(learned))
        return learned;
    reader = std::move(made);
    return result::kOk;
}

// The decoder cuts the encoder delay from the first frames it gives, as the
// packets' side data say (and the container's edit list, through them):
// the first frame that comes out says how much was cut.
MediaResult StretchReader::learnStartSkip()
{
    AudioDecoder decoder(input_, [this](AVPacket* packet) { return readPacket(packet); });
    const MediaResult decoded = decoder.decode(
        [&](const AVFrame& frame) {
            if (frame.nb_samples <= 0)
                return result::kOk;
            startSkip_ = std::max<std::int64_t>(nextStart_ - frame.nb_samples, 0);
            return result::kFalse;
        },
        *input_.stop);
    return decoded;
}

int StretchReader::readFromFile(AVPacket* handedBack)
{
    // Packets dropped from the kept ones are read into again: skipping
    // through a long file then allocates nothing of ours per packet.
    Kept kept;
    if (spare_.empty()) {
        kept.packet.reset(av_packet_alloc());
        if (!kept.packet)
            return AVERROR(ENOMEM);
    } else {
        kept.packet = std::move(spare_.back());
        spare_.pop_back();
    }
    AVPacket* packet = kept.packet.get();
    for (;;) {
        const int error = av_read_frame(input_.format.get(), packet);
        if (error < 0) {
            spare_.push_back(std::move(kept.packet));
            return error;
        }
        if (packet->stream_index == input_.streamIndex)
            break;
        av_packet_unref(packet);
    }
    if (handedBack)
        if (const int error = av_packet_ref(handedBack, packet); error < 0)
            return error;
    const AVStream* stream = input_.stream();
    const std::int64_t frames =
        packet->duration > 0
            ? av_rescale_q(packet->duration, stream->time_base, AVRational{1, stream->codecpar->sample_rate})
            : 0;
    if (frames <= 0)
        countable_ = false;
    kept.start = nextStart_;
    const Trimming trimming = trimmingOf(*packet);
    kept.trimmedStart = trimming.start > 0;
    kept.trimmedEnd = trimming.end > 0;
    if (kind_ == SplitKind::Mp3Frames) {
        int sampleRate = stream->codecpar->sample_rate;
        kept.mainDataBytes = mainDataBytesOf(*packet, sampleRate);
        // Past a change of rate the output's frames come from a resampler,
        // no longer one for one from the packets.
        if (sampleRate != stream->codecpar->sample_rate)
            countable_ = false;
    }
    nextStart_ += frames;
    kept_.push_back(std::move(kept));
    if (!handingOut_)
        dropUnneededPackets();
    return 0;
}

int StretchReader::readPacket(AVPacket* packet)
{
    if (handingOut_ && handedOut_ < kept_.size())
        return av_packet_ref(packet, kept_[handedOut_++].packet.get());
    handingOut_ = false;
    return readFromFile(packet);
}

// Whether the packets kept before the last one read let a fresh decoder give
// the last one's sound exactly.
bool StretchReader::keptEnough() const
{
    if (kind_ != SplitKind::Mp3Frames)
        return true;
    const std::size_t before = kExactFramesBefore + 1;
    if (kept_.size() < before + kSpareFrames)
        return false;
    int bytes = 0;
    for (std::size_t i = kSpareFrames; i + before < kept_.size(); ++i)
        bytes += kept_[i].mainDataBytes;
    return bytes >= kReservoirBytes;
}

void StretchReader::dropUnneededPackets()
{
    const auto dropFirst = [this] {
        av_packet_unref(kept_.front().packet.get());
        spare_.push_back(std::move(kept_.front().packet));
        kept_.pop_front();
    };
    if (kind_ != SplitKind::Mp3Frames) {
        while (kept_.size() > 1)
            dropFirst();
        return;
    }
    for (;;) {
        if (kept_.size() > kMostKeptPackets) {
            dropFirst();
            continue;
        }
        // Without the first packet, would the rest still be enough?
        Kept first = std::move(kept_.front());
        kept_.pop_front();
        if (!keptEnough()) {
            kept_.push_front(std::move(first));
            return;
        }
        av_packet_unref(first.packet.get());
        spare_.push_back(std::move(first.packet));
    }
}

MediaResult StretchReader::seekTo(std::int64_t frame, std::int64_t& firstFrame)
{
    handingOut_ = false;
    const std::int64_t target = frame + startSkip_;
    if (!kept_.empty() && target < kept_.back().start)
        return result::kFalse;
    while (nextStart_ <= target) {
        if (input_.stop->stop_requested())
            return result::kStopped;
        const int error = readFromFile(nullptr);
        if (error == AVERROR_EXIT)
            return result::kStopped;
        if (error == AVERROR(ENOMEM))
            return result::kOutOfMemory;
        if (error == AVERROR(EIO))
            return result::kDecodeFailed;
        if (error < 0) {
            // The sound ends before the frame: nothing is left to hand out.
            while (!kept_.empty()) {
                av_packet_unref(kept_.front().packet.get());
                spare_.push_back(std::move(kept_.front().packet));
                kept_.pop_front();
            }
            firstFrame = nextStart_ - startSkip_;
            return result::kOk;
        }
        if (!countable_)
            return result::kFalse;
    }
    if (!countable_ || kept_.empty() || !keptEnough())
        return result::kFalse;
    // The decoder cuts sound from packets with side data, which moves what
    // follows: only the one wanted may lose its end.
    for (std::size_t i = 0; i < kept_.size(); ++i)
        if (kept_[i].trimmedStart || (kept_[i].trimmedEnd && i + 1 < kept_.size()))
            return result::kFalse;
    firstFrame = kept_.front().start - startSkip_;
    handedOut_ = 0;
    handingOut_ = true;
    return result::kOk;
}

} // namespace kestrine

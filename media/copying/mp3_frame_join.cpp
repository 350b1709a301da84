// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/mp3_frame_join.h"

#include "media/ffmpeg.h"
#include "media/source_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace kestrine {

struct Mp3FrameJoin::Source {
    std::string path;
    Mp3SourceFrames frames;
    std::int64_t start = 0;  // its first sample in the join
    std::int64_t length = 0; // its samples
    std::int64_t shift = 0;  // the output frame its first frame lands on, when aligned
    bool aligned = false;
    int fd = -1;

    Source() = default;
    Source(Source&& other) noexcept
        : path(std::move(other.path)), frames(std::move(other.frames)), start(other.start), length(other.length),
          shift(other.shift), aligned(other.aligned), fd(std::exchange(other.fd, -1))
    {
    }
    Source& operator=(Source&&) = delete;
    ~Source()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Output frames [first, end): copied from a source, or encoded anew.
struct Mp3FrameJoin::Piece {
    bool copied = false;
    std::size_t source = 0; // copied pieces only
    std::int64_t first = 0;
    std::int64_t end = 0;
};

namespace {

// A frame's bytes read once more than this are read in one call.
constexpr std::size_t kCopyChunkBytes = 1 << 20;
// Extra frames decoded before the first one needed, beyond what its main
// data and the transform's overlap reach back to.
constexpr int kSpareWarmUpFrames = 2;
// The samples of a granule, by which each frame's transform overlaps the next one's.
constexpr std::int64_t kOverlapSamples = 576;
// LAME sees a source's end coming, and the silence after it, this far
// ahead: its frames so close to the end may take short blocks whose windows
// would not overlap a stretch's long ones.
constexpr std::int64_t kEndingLookahead = 1152;
constexpr int kHighestMpeg1BitRate = 320'000;
constexpr int kHighestMpeg2BitRate = 160'000;

std::string nameOf(const std::string& path)
{
    return std::filesystem::path(path).filename().string();
}

MediaResult openSource(Mp3FrameJoin::Source& source)
{
    if (source.fd >= 0)
        return result::kOk;
    source.fd = ::open(source.path.c_str(), O_RDONLY | O_CLOEXEC);
    return source.fd < 0 ? AVERROR(errno) : result::kOk;
}

std::int64_t ceilDiv(std::int64_t a, std::int64_t b)
{
    return a >= 0 ? (a + b - 1) / b : -((-a) / b);
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The bytes the main data of `frames[target]` starts with, which lie in the
// slots of the frames before it.
MediaResult reservoirBytes(int fd, const Mp3SourceFrames& frames, std::size_t target, std::vector<std::uint8_t>& bytes)
{
    std::size_t need = static_cast<std::size_t>(frames.frames[target].mainData.begin);
    bytes.assign(need, 0);
    for (std::size_t f = target; need > 0 && f-- > 0;) {
        const Mp3Frame& frame = frames.frames[f];
        const std::size_t slot = static_cast<std::size_t>(frame.header.slotBytes());
        const std::size_t take = std::min(slot, need);
        need -= take;
        if (const MediaResult read = readSourceAt(fd, bytes.data() + need, take,
                                            frame.offset + static_cast<std::uint64_t>(frame.header.frameBytes) - take);
            failed(read))
            return read;
    }
    return need == 0 ? result::kOk : result::kUnexpected;
}

} // namespace

// The join's decoded sound, sample by sample, from the sources' frames as
// FFmpeg's decoder plays them: a frame is decoded after the frames its main
// data and its transform's overlap reach back to, so that it gives the very
// samples a decode of the whole file gives.
class Mp3FrameJoin::Samples {
public:
    Samples(std::vector<Source>& sources, int channels) : sources_(sources), channels_(channels) {}

    // `count` samples from join sample `first`, interleaved; silence outside the join.
    MediaResult read(std::int64_t first, int count, float* out)
    {
        if (decoders_.size() < sources_.size())
            decoders_.resize(sources_.size());
        std::fill(out, out + static_cast<std::ptrdiff_t>(count) * channels_, 0.0f);
        for (std::size_t k = 0; k < sources_.size(); ++k) {
            const Source& source = sources_[k];
            const std::int64_t from = std::max(first, source.start);
            const std::int64_t to = std::min(first + count, source.start + source.length);
            for (std::int64_t n = from; n < to; ++n) {
                const std::int64_t raw = n - source.start + source.frames.encoderDelay + kMp3DecoderDelay;
                const std::int64_t frame = raw / source.frames.samplesPerFrame;
                if (const MediaResult decoded = decodeFrame(k, frame); failed(decoded))
                    return decoded;
                const Decoder& decoder = decoders_[k];
                const std::size_t at = static_cast<std::size_t>(raw - frame * source.frames.samplesPerFrame);
                for (int c = 0; c < channels_; ++c)
                    out[(n - first) * channels_ + c] = decoder.samples[static_cast<std::size_t>(c)][at];
            }
        }
        return result::kOk;
    }

private:
    struct Decoder {
        CodecContextPtr context;
        PacketPtr packet;
        FramePtr frame;
        std::int64_t next = -1;    // the frame the decoder takes next without a new start
        std::int64_t decoded = -1; // the frame whose samples are held
        std::vector<std::vector<float>> samples;
    };

    MediaResult openDecoder(Decoder& decoder, int samplesPerFrame)
    {
        if (decoder.context)
            return result::kOk;
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MP3);
        if (!codec)
            return result::kNoDecoder;
        decoder.context.reset(avcodec_alloc_context3(codec));
        decoder.packet.reset(av_packet_alloc());
        decoder.frame.reset(av_frame_alloc());
        if (!decoder.context || !decoder.packet || !decoder.frame)
            return result::kOutOfMemory;
        if (const int error = avcodec_open2(decoder.context.get(), codec, nullptr); error < 0)
            return error;
        decoder.samples.assign(static_cast<std::size_t>(channels_),
                               std::vector<float>(static_cast<std::size_t>(samplesPerFrame)));
        return result::kOk;
    }

    // The first frame to decode so that `target` decodes as in the whole file.
    std::int64_t warmUpStart(const Mp3SourceFrames& frames, std::int64_t target) const
    {
        std::int64_t start = std::max<std::int64_t>(target - 1, 0);
        auto slotsBetween = [&frames](std::int64_t from, std::int64_t to) {
            std::int64_t bytes = 0;
            for (std::int64_t f = from; f < to; ++f)
                bytes += frames.frames[static_cast<std::size_t>(f)].header.slotBytes();
            return bytes;
        };
        for (const std::int64_t needing : {start, target})
            while (start > 0 && slotsBetween(start, needing) <
                                    frames.frames[static_cast<std::size_t>(needing)].mainData.begin)
                --start;
        return std::max<std::int64_t>(start - kSpareWarmUpFrames, 0);
    }

    MediaResult decodeFrame(std::size_t k, std::int64_t target)
    {
        Decoder& decoder = decoders_[k];
        if (decoder.decoded == target)
            return result::kOk;
        Source& source = sources_[k];
        if (target < 0 || target >= static_cast<std::int64_t>(source.frames.frames.size()))
            return result::kUnexpected;
        if (const MediaResult opened = openDecoder(decoder, source.frames.samplesPerFrame); failed(opened))
            return opened;
        if (const MediaResult opened = openSource(source); failed(opened))
            return opened;
        if (decoder.next != target) {
            avcodec_flush_buffers(decoder.context.get());
            decoder.next = warmUpStart(source.frames, target);
        }
        for (; decoder.next <= target; ++decoder.next) {
            const Mp3Frame& frame = source.frames.frames[static_cast<std::size_t>(decoder.next)];
            av_packet_unref(decoder.packet.get());
            if (av_new_packet(decoder.packet.get(), frame.header.frameBytes) < 0)
                return result::kOutOfMemory;
            if (const MediaResult read = readSourceAt(source.fd, decoder.packet->data,
                                                static_cast<std::size_t>(frame.header.frameBytes), frame.offset);
                failed(read))
                return read;
            const bool wanted = decoder.next == target;
            int error = avcodec_send_packet(decoder.context.get(), decoder.packet.get());
            if (error < 0 && error != AVERROR_INVALIDDATA)
                return error;
            if (error == AVERROR_INVALIDDATA && wanted)
                return result::kDecodeFailed;
            bool gotOne = false;
            for (;;) {
                error = avcodec_receive_frame(decoder.context.get(), decoder.frame.get());
                if (error == AVERROR(EAGAIN) || error == AVERROR_EOF)
                    break;
                if (error < 0) {
                    if (wanted)
                        return result::kDecodeFailed;
                    break;
                }
                if (wanted && decoder.frame->nb_samples == source.frames.samplesPerFrame &&
                    decoder.frame->format == AV_SAMPLE_FMT_FLTP && decoder.frame->ch_layout.nb_channels == channels_) {
                    for (int c = 0; c < channels_; ++c)
                        std::memcpy(decoder.samples[static_cast<std::size_t>(c)].data(), decoder.frame->extended_data[c],
                                    sizeof(float) * static_cast<std::size_t>(source.frames.samplesPerFrame));
                    gotOne = true;
                }
                av_frame_unref(decoder.frame.get());
            }
            if (wanted && !gotOne)
                return result::kDecodeFailed;
        }
        decoder.decoded = target;
        return result::kOk;
    }

    std::vector<Source>& sources_;
    std::vector<Decoder> decoders_;
    int channels_;
};

Mp3FrameJoin::~Mp3FrameJoin() = default;

bool mp3FramesFallInPlace(std::int64_t start, int outputDelay, int sourceDelay, int samplesPerFrame)
{
    const std::int64_t shift = start + outputDelay - sourceDelay;
    return shift >= 0 && shift % samplesPerFrame == 0;
}

MediaResult Mp3FrameJoin::plan(const RenderPlan& plan, std::unique_ptr<Mp3FrameJoin>& join, std::string& reason)
{
    join.reset();
    reason.clear();
    if (plan.sources.empty()) {
        reason = "the join has no files";
        return result::kOk;
    }
    std::unique_ptr<Mp3FrameJoin> made = start(plan.format);
    std::int64_t previousEnd = 0;
    for (std::size_t k = 0; k < plan.sources.size(); ++k) {
        const PlannedSource& planned = plan.sources[k];
        if (planned.mediaStart != 0 || planned.firstFrame != previousEnd) {
            reason = nameOf(planned.path) + " is not joined whole, right after the file before it";
            return result::kOk;
        }
        const bool last = k + 1 == plan.sources.size();
        if (last && planned.endFrame != plan.totalFrames) {
            reason = "the join ends in silence after its last file";
            return result::kOk;
        }
        if (const MediaResult added = made->addSource(planned.path, planned.endFrame - planned.firstFrame, last, reason);
            failed(added) || !reason.empty())
            return added;
        previousEnd = planned.endFrame;
    }
    join = std::move(made);
    return result::kOk;
}

std::unique_ptr<Mp3FrameJoin> Mp3FrameJoin::start(const OutputFormat& format)
{
    std::unique_ptr<Mp3FrameJoin> made(new Mp3FrameJoin);
    made->format_ = format;
    made->samples_ = std::make_unique<Samples>(made->sources_, format.channels);
    return made;
}

MediaResult Mp3FrameJoin::addSource(const std::string& path, std::int64_t length, bool last, std::string& reason)
{
    reason.clear();
    const std::string name = nameOf(path);
    if (ended_) {
        reason = name + " comes after the join's last file";
        return result::kOk;
    }
    Source source;
    source.path = path;
    if (const MediaResult read = readMp3SourceFrames(path, source.frames); failed(read))
        return read;
    const Mp3SourceFrames& frames = source.frames;
    if (frames.obstacle != Mp3CopyObstacle::None) {
        reason = name + " " + mp3CopyObstacleText(frames.obstacle);
        return result::kOk;
    }
    if (frames.sampleRate != format_.sampleRate || frames.channels != format_.channels) {
        reason = name + " differs from the output in its sample rate or channels";
        return result::kOk;
    }
    source.start = totalSamples_;
    source.length = length;
    if (source.length != frames.samples()) {
        reason = name + " plays another length than its LAME tag gives";
        return result::kOk;
    }
    const bool firstSource = sources_.empty();
    if (firstSource) {
        sampleRate_ = frames.sampleRate;
        channels_ = frames.channels;
        samplesPerFrame_ = frames.samplesPerFrame;
        bitRate_ = frames.frames.front().header.bitRate;
        encoderDelay_ = frames.encoderDelay;
    } else if (frames.samplesPerFrame != samplesPerFrame_) {
        reason = name + " differs from the output in its sample rate or channels";
        return result::kOk;
    }
    const std::int64_t spf = samplesPerFrame_;
    const std::int64_t rawOffset = encoderDelay_ + kMp3DecoderDelay;
    const std::int64_t shiftSamples = source.start + encoderDelay_ - frames.encoderDelay;
    source.aligned = mp3FramesFallInPlace(source.start, encoderDelay_, frames.encoderDelay, samplesPerFrame_);
    // Encoding such a source anew whole costs what encoding the join costs,
    // at a quality below the encoding join's: that join is encoded.
    if (!source.aligned) {
        reason = name + " was not cut where the join's frames fall";
        return result::kOk;
    }
    source.shift = source.aligned ? shiftSamples / spf : 0;
    const std::int64_t count = static_cast<std::int64_t>(frames.frames.size());
    // A frame is copied when every sample it plays belongs to this source,
    // or lies before the join's start or after its end, where the tag
    // trims; and so does the granule its transform overlaps with on the
    // side of a stretch, or the overlap would add a neighbour's sound to
    // the silence this source was encoded with there.
    std::int64_t low = firstSource ? source.shift : ceilDiv(source.start + rawOffset + kOverlapSamples, spf);
    std::int64_t high = last ? source.shift + count
                             : floorDiv(source.start + source.length + rawOffset - kOverlapSamples - kEndingLookahead,
                                        spf);
    low = std::max(low, source.shift);
    high = std::min(high, source.shift + count);
    const bool copied = source.aligned && low < high && low >= plannedFrames_;
    if (firstSource && (!copied || low != 0)) {
        reason = name + " is too short to copy";
        return result::kOk;
    }
    totalSamples_ += source.length;
    sources_.push_back(std::move(source));
    if (copied) {
        if (low > plannedFrames_)
            pieces_.push_back({false, 0, plannedFrames_, low});
        pieces_.push_back({true, sources_.size() - 1, low, high});
        plannedFrames_ = high;
    }
    if (!last)
        return result::kOk;
    ended_ = true;
    if (copied && high == sources_.back().shift + count) {
        outputFrames_ = plannedFrames_;
    } else {
        outputFrames_ = ceilDiv(totalSamples_ + rawOffset, spf);
        if (outputFrames_ > plannedFrames_)
            pieces_.push_back({false, 0, plannedFrames_, outputFrames_});
        plannedFrames_ = outputFrames_;
    }
    padding_ = static_cast<int>(outputFrames_ * spf - encoderDelay_ - totalSamples_);
    if (padding_ < 0 || padding_ >= 1 << 12)
        reason = "the join's padding does not fit a LAME tag";
    return result::kOk;
}

std::int64_t Mp3FrameJoin::copiedFrames() const
{
    std::int64_t copied = 0;
    for (const Piece& piece : pieces_)
        if (piece.copied)
            copied += piece.end - piece.first;
    return copied;
}

void Mp3FrameJoin::reportFrame(std::int64_t outputFrame, const ProgressHandler& progress) const
{
    if (!progress)
        return;
    const std::int64_t played = (outputFrame + 1) * samplesPerFrame_ - encoderDelay_ - kMp3DecoderDelay;
    progress(std::clamp<std::int64_t>(played, 0, totalSamples_));
}

MediaResult Mp3FrameJoin::run(const FrameHandler& frames, std::stop_token stop, const ProgressHandler& progress)
{
    Mp3ReservoirPacker packer(frames);
    for (; written_ < pieces_.size(); ++written_) {
        // A stopped join keeps the frames given so far.
        if (stop.stop_requested()) {
            const MediaResult flushed = packer.flush();
            return failed(flushed) ? flushed : result::kStopped;
        }
        const MediaResult made = pieces_[written_].copied ? copyFrames(pieces_[written_], packer, stop, progress)
                                                          : encodeStretch(written_, packer, stop, progress);
        if (made == result::kStopped) {
            const MediaResult flushed = packer.flush();
            return failed(flushed) ? flushed : made;
        }
        if (failed(made) || made == result::kFalse)
            return made;
    }
    return packer.flush();
}

MediaResult Mp3FrameJoin::copyFrames(const Piece& piece, Mp3ReservoirPacker& frames, std::stop_token stop,
                                     const ProgressHandler& progress)
{
    Source& source = sources_[piece.source];
    if (const MediaResult opened = openSource(source); failed(opened))
        return opened;
    // The first frame's main data may begin in the source's frames before it.
    std::vector<std::uint8_t> reservoir;
    if (const MediaResult read = reservoirBytes(source.fd, source.frames,
                                                static_cast<std::size_t>(piece.first - source.shift), reservoir);
        failed(read))
        return read;
    Mp3MainDataReader mainData(std::move(reservoir));
    std::vector<std::uint8_t> chunk;
    std::int64_t g = piece.first;
    while (g < piece.end) {
        // As many whole frames as fit a chunk, read in one call.
        const std::size_t firstFrame = static_cast<std::size_t>(g - source.shift);
        std::size_t endFrame = firstFrame;
        std::uint64_t bytes = 0;
        while (endFrame < static_cast<std::size_t>(piece.end - source.shift) &&
               (bytes == 0 || bytes + static_cast<std::uint64_t>(source.frames.frames[endFrame].header.frameBytes) <=
                                  kCopyChunkBytes)) {
            bytes += static_cast<std::uint64_t>(source.frames.frames[endFrame].header.frameBytes);
            ++endFrame;
        }
        chunk.resize(bytes);
        const std::uint64_t base = source.frames.frames[firstFrame].offset;
        if (const MediaResult read = readSourceAt(source.fd, chunk.data(), chunk.size(), base); failed(read))
            return read;
        for (std::size_t f = firstFrame; f < endFrame; ++f, ++g) {
            if (stop.stop_requested())
                return result::kStopped;
            const Mp3Frame& frame = source.frames.frames[f];
            const std::uint8_t* at = chunk.data() + (frame.offset - base);
            // The file may have changed since it was read: a copied frame is
            // the frame that was planned, or nothing.
            Mp3FrameHeader header;
            Mp3StreamFrame taken;
            if (!parseMp3FrameHeader(at, header) || header.frameBytes != frame.header.frameBytes ||
                !mainData.read(at, frame.header.frameBytes, taken))
                return result::kSourceShrank;
            if (const MediaResult placed = frames.add(std::move(taken)); failed(placed) || placed == result::kFalse)
                return placed;
            reportFrame(g, progress);
        }
    }
    return result::kOk;
}

namespace {

// The highest bit rate up to `wanted` at which a frame, raised to the
// highest rate, has room for `need` bytes besides its own main data.
int roomyBitRate(const Mp3FrameHeader& like, int wanted, int need)
{
    Mp3FrameHeader top;
    if (!withMp3BitRateIndex(like, 14, top))
        return wanted;
    for (int index = 14; index >= 1; --index) {
        Mp3FrameHeader candidate;
        // A padded frame holds one byte more.
        if (withMp3BitRateIndex(like, index, candidate) && candidate.bitRate <= wanted &&
            top.slotBytes() - (candidate.slotBytes() + 1) >= need)
            return candidate.bitRate;
    }
    return wanted;
}

struct StretchEncoder {
    CodecContextPtr context;
    FramePtr frame;
    PacketPtr packet;
};

MediaResult openStretchEncoder(int sampleRate, int channels, int bitRate, StretchEncoder& encoder)
{
    const AVCodec* codec = avcodec_find_encoder_by_name("libmp3lame");
    if (!codec)
        return result::kNoEncoder;
    encoder.context.reset(avcodec_alloc_context3(codec));
    encoder.frame.reset(av_frame_alloc());
    encoder.packet.reset(av_packet_alloc());
    if (!encoder.context || !encoder.frame || !encoder.packet)
        return result::kOutOfMemory;
    AVCodecContext& context = *encoder.context;
    context.sample_fmt = AV_SAMPLE_FMT_FLTP;
    context.sample_rate = sampleRate;
    av_channel_layout_default(&context.ch_layout, channels);
    context.bit_rate = bitRate;
    context.time_base = AVRational{1, sampleRate};
    // Every frame of the stretch holds its own main data: frames around it
    // can be dropped, and the last one can carry the next copied frame's.
    av_opt_set_int(context.priv_data, "reservoir", 0, 0);
    if (const int error = avcodec_open2(&context, codec, nullptr); error < 0)
        return error;
    encoder.frame->format = AV_SAMPLE_FMT_FLTP;
    encoder.frame->nb_samples = context.frame_size;
    if (av_channel_layout_copy(&encoder.frame->ch_layout, &context.ch_layout) < 0 ||
        av_frame_get_buffer(encoder.frame.get(), 0) < 0)
        return result::kOutOfMemory;
    return result::kOk;
}

} // namespace

MediaResult Mp3FrameJoin::encodeStretch(std::size_t index, Mp3ReservoirPacker& frames, std::stop_token stop,
                                        const ProgressHandler& progress)
{
    Piece& piece = pieces_[index];
    Piece* next = index + 1 < pieces_.size() && pieces_[index + 1].copied ? &pieces_[index + 1] : nullptr;
    // From the neighbours' highest bit rate.
    int bitRate = 0;
    for (const Piece* neighbour : {index > 0 ? &pieces_[index - 1] : nullptr, next}) {
        if (!neighbour || !neighbour->copied)
            continue;
        const Source& source = sources_[neighbour->source];
        for (std::int64_t g : {neighbour->first, neighbour->end - 1})
            bitRate = std::max(bitRate, source.frames.frames[static_cast<std::size_t>(g - source.shift)].header.bitRate);
    }
    if (bitRate == 0)
        bitRate = bitRate_;
    // Without a reservoir a frame cannot borrow for a hard passage: twice
    // the rate keeps the stretch as close to its sources as they are to the sound.
    const int wantedBitRate =
        std::min(2 * bitRate, samplesPerFrame_ == 1152 ? kHighestMpeg1BitRate : kHighestMpeg2BitRate);

    {
        // The room the next copied frame's reservoir needs at the stretch's end.
        std::vector<std::uint8_t> tail;
        if (next) {
            Source& source = sources_[next->source];
            if (const MediaResult opened = openSource(source); failed(opened))
                return opened;
            if (const MediaResult read = reservoirBytes(source.fd, source.frames,
                                                        static_cast<std::size_t>(next->first - source.shift), tail);
                failed(read))
                return read;
        }
        const int stretchBitRate = next ? roomyBitRate(sources_[next->source].frames.frames.front().header,
                                                       wantedBitRate, static_cast<int>(tail.size()))
                                        : wantedBitRate;
        StretchEncoder encoder;
        if (const MediaResult opened = openStretchEncoder(sampleRate_, channels_, stretchBitRate, encoder);
            failed(opened))
            return opened;
        AVCodecContext& context = *encoder.context;
        const std::int64_t spf = samplesPerFrame_;
        if (context.frame_size != spf)
            return result::kUnexpected;
        // LAME's first frames play its own delay, and the frame after them
        // overlaps their silence: they are encoded and left out.
        const std::int64_t encoderLag = context.initial_padding;
        const std::int64_t dropped = ceilDiv(encoderLag + spf, spf);
        const std::int64_t wanted = piece.end - piece.first;
        std::int64_t fed = (piece.first - dropped) * spf + encoderLag - encoderDelay_ - kMp3DecoderDelay;
        const std::int64_t feedLimit = fed + (wanted + dropped + 4) * spf;
        std::vector<std::vector<std::uint8_t>> kept;
        std::vector<float> interleaved(static_cast<std::size_t>(spf * channels_));
        std::int64_t packets = 0;
        while (static_cast<std::int64_t>(kept.size()) < wanted) {
            if (stop.stop_requested())
                return result::kStopped;
            if (fed >= feedLimit)
                return result::kUnexpected;
            if (const MediaResult read = samples_->read(fed, static_cast<int>(spf), interleaved.data()); failed(read))
                return read;
            if (av_frame_make_writable(encoder.frame.get()) < 0)
                return result::kOutOfMemory;
            for (int c = 0; c < channels_; ++c) {
                auto* plane = reinterpret_cast<float*>(encoder.frame->extended_data[c]);
                for (std::int64_t i = 0; i < spf; ++i)
                    plane[i] = interleaved[static_cast<std::size_t>(i * channels_ + c)];
            }
            encoder.frame->pts = fed;
            fed += spf;
            if (const int error = avcodec_send_frame(&context, encoder.frame.get()); error < 0)
                return error;
            for (;;) {
                const int error = avcodec_receive_packet(&context, encoder.packet.get());
                if (error == AVERROR(EAGAIN) || error == AVERROR_EOF)
                    break;
                if (error < 0)
                    return error;
                if (packets >= dropped && static_cast<std::int64_t>(kept.size()) < wanted)
                    kept.emplace_back(encoder.packet->data, encoder.packet->data + encoder.packet->size);
                ++packets;
                av_packet_unref(encoder.packet.get());
            }
        }
        // Without a reservoir, each frame's main data lies in its own slot.
        Mp3MainDataReader mainData;
        for (std::size_t i = 0; i < kept.size(); ++i) {
            Mp3StreamFrame frame;
            if (!mainData.read(kept[i].data(), static_cast<int>(kept[i].size()), frame))
                return result::kUnexpected;
            if (const MediaResult placed = frames.add(std::move(frame)); failed(placed) || placed == result::kFalse)
                return placed;
            reportFrame(piece.first + static_cast<std::int64_t>(i), progress);
        }
        return result::kOk;
    }
}

} // namespace kestrine

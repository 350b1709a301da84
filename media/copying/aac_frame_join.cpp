// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/aac_frame_join.h"

#include "media/ffmpeg.h"
#include "media/source_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace kestrine {

struct AacFrameJoin::Source {
    std::string path;
    AacSourceUnits units;
    std::int64_t start = 0;  // its first sample in the join
    std::int64_t length = 0; // its samples
    std::int64_t shift = 0;  // the output unit its first unit lands on
    int fd = -1;

    Source() = default;
    Source(Source&& other) noexcept
        : path(std::move(other.path)), units(std::move(other.units)), start(other.start), length(other.length),
          shift(other.shift), fd(std::exchange(other.fd, -1))
    {
    }
    Source& operator=(Source&&) = delete;
    ~Source()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// Output units [first, end): copied from a source, or encoded anew.
struct AacFrameJoin::Piece {
    bool copied = false;
    std::size_t source = 0; // copied pieces only
    std::int64_t first = 0;
    std::int64_t end = 0;
};

namespace {

constexpr std::int64_t kUnit = kAacUnitSamples;
// A unit's bytes read once more than this are read in one call.
constexpr std::size_t kCopyChunkBytes = 1 << 20;
// Units decoded before the one needed: one rebuilds its overlap, one more
// lets the decoder settle its window shapes.
constexpr std::int64_t kDecoderWarmUpUnits = 2;
// Units the encoder takes in before the first one kept, beyond its own
// priming: its psychoacoustic model and rate control look back that far.
constexpr std::int64_t kEncoderWarmUpUnits = 2;
// Units fed to the encoder past the last one kept, for the encoder's own
// look-ahead: it gives a unit only once it has seen some of the next.
constexpr std::int64_t kEncoderLookAheadUnits = 8;
// Files so short that more than this many units around their joins are
// encoded anew are joined on the encode road: a stretch's sound is held in
// memory, and copying would save little.
constexpr std::int64_t kLongestStretchUnits = 256;
// How often a stretch may grow by a unit to meet the window of the copied unit after it.
constexpr int kStretchGrowths = 8;
// A stretch is encoded at the neighbours' bit rate and half again: a
// second generation of the sound, kept as close to the first as it is.
constexpr std::int64_t kStretchRateNumerator = 3;
constexpr std::int64_t kStretchRateDenominator = 2;
constexpr std::int64_t kHighestStretchRatePerChannel = 160'000;

std::string nameOf(const std::string& path)
{
    return std::filesystem::path(path).filename().string();
}

MediaResult openSource(AacFrameJoin::Source& source)
{
    return source.fd >= 0 ? result::kOk : openSourceFile(source.path, source.fd);
}

std::int64_t ceilDiv(std::int64_t a, std::int64_t b)
{
    return a >= 0 ? (a + b - 1) / b : -((-a) / b);
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b)
{
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// The window of unit `index` of a source; false when it is damaged.
MediaResult windowOf(AacFrameJoin::Source& source, std::int64_t index, AacWindow& window)
{
    if (const MediaResult opened = openSource(source); failed(opened))
        return opened;
    const AacUnit& unit = source.units.units[static_cast<std::size_t>(index)];
    std::vector<std::uint8_t> bytes(unit.size);
    if (const MediaResult read = readSourceAt(source.fd, bytes.data(), bytes.size(), unit.offset); failed(read))
        return read;
    return inspectAacUnit(bytes.data(), bytes.size(), source.units.channels, source.units.rateIndex, window)
               ? result::kOk
               : result::kFalse;
}

} // namespace

// The join's decoded sound, sample by sample, from the sources' units as
// FFmpeg's decoder plays them: a unit is decoded after the units its
// overlap reaches back to, so that it gives the samples a decode of the
// whole file gives. The sources share one rate, channel layout and object
// type, and so one decoder, started afresh where it moves to another source
// or unit: its setup costs more than the few units a stretch needs.
class AacFrameJoin::Sound {
public:
    Sound(std::vector<Source>& sources, int channels) : sources_(sources), channels_(channels) {}

    // `count` samples from join sample `first`, one plane a channel;
    // silence outside the join. result::kFalse when a unit does not decode.
    MediaResult read(std::int64_t first, int count, std::vector<std::vector<float>>& planes)
    {
        planes.assign(static_cast<std::size_t>(channels_), std::vector<float>(static_cast<std::size_t>(count), 0.0f));
        for (std::size_t k = 0; k < sources_.size(); ++k) {
            const Source& source = sources_[k];
            const std::int64_t from = std::max(first, source.start);
            const std::int64_t to = std::min(first + count, source.start + source.length);
            for (std::int64_t n = from; n < to; ++n) {
                const std::int64_t raw = n - source.start + source.units.priming;
                const std::int64_t unit = raw / kUnit;
                if (const MediaResult decoded = decodeUnit(k, unit); failed(decoded) || decoded == result::kFalse)
                    return decoded;
                const auto at = static_cast<std::size_t>(raw - unit * kUnit);
                for (std::size_t c = 0; c < planes.size(); ++c)
                    planes[c][static_cast<std::size_t>(n - first)] = decoder_.samples[c][at];
            }
        }
        return result::kOk;
    }

private:
    struct Decoder {
        CodecContextPtr context;
        PacketPtr packet;
        FramePtr frame;
        std::size_t source = 0;    // whose units it decodes
        std::int64_t next = -1;    // the unit the decoder takes next without a new start
        std::int64_t decoded = -1; // the unit whose samples are held
        std::vector<std::vector<float>> samples;
    };

    MediaResult openDecoder(Decoder& decoder, const AacSourceUnits& units)
    {
        if (decoder.context)
            return result::kOk;
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_AAC);
        if (!codec)
            return result::kNoDecoder;
        decoder.context.reset(avcodec_alloc_context3(codec));
        decoder.packet.reset(av_packet_alloc());
        decoder.frame.reset(av_frame_alloc());
        if (!decoder.context || !decoder.packet || !decoder.frame)
            return result::kOutOfMemory;
        AVCodecContext& context = *decoder.context;
        context.sample_rate = units.sampleRate;
        av_channel_layout_default(&context.ch_layout, units.channels);
        context.extradata = static_cast<std::uint8_t*>(av_mallocz(units.setup.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!context.extradata)
            return result::kOutOfMemory;
        std::copy(units.setup.begin(), units.setup.end(), context.extradata);
        context.extradata_size = static_cast<int>(units.setup.size());
        context.thread_count = 1;
        if (const int error = avcodec_open2(&context, codec, nullptr); error < 0)
            return error == AVERROR(ENOMEM) ? result::kOutOfMemory : result::kNoDecoder;
        decoder.samples.assign(static_cast<std::size_t>(channels_), std::vector<float>(kUnit));
        return result::kOk;
    }

    MediaResult decodeUnit(std::size_t k, std::int64_t target)
    {
        Decoder& decoder = decoder_;
        if (decoder.source == k && decoder.decoded == target)
            return result::kOk;
        Source& source = sources_[k];
        if (target < 0 || target >= static_cast<std::int64_t>(source.units.units.size()))
            return result::kUnexpected;
        if (const MediaResult opened = openDecoder(decoder, source.units); failed(opened))
            return opened;
        if (const MediaResult opened = openSource(source); failed(opened))
            return opened;
        if (decoder.source != k || decoder.next != target) {
            avcodec_flush_buffers(decoder.context.get());
            decoder.source = k;
            decoder.decoded = -1;
            decoder.next = std::max<std::int64_t>(target - kDecoderWarmUpUnits, 0);
        }
        for (; decoder.next <= target; ++decoder.next) {
            const AacUnit& unit = source.units.units[static_cast<std::size_t>(decoder.next)];
            av_packet_unref(decoder.packet.get());
            if (av_new_packet(decoder.packet.get(), static_cast<int>(unit.size)) < 0)
                return result::kOutOfMemory;
            if (const MediaResult read = readSourceAt(source.fd, decoder.packet->data, unit.size, unit.offset); failed(read))
                return read;
            const bool wanted = decoder.next == target;
            int error = avcodec_send_packet(decoder.context.get(), decoder.packet.get());
            if (error < 0 && error != AVERROR_INVALIDDATA)
                return error;
            if (error == AVERROR_INVALIDDATA) {
                // A damaged unit, even one decoded only to warm up, is a damaged source.
                decoder.next = -1;
                return result::kFalse;
            }
            bool gotOne = false;
            for (;;) {
                error = avcodec_receive_frame(decoder.context.get(), decoder.frame.get());
                if (error == AVERROR(EAGAIN) || error == AVERROR_EOF)
                    break;
                if (error < 0) {
                    decoder.next = -1;
                    return error == AVERROR_INVALIDDATA ? result::kFalse : error;
                }
                if (wanted && decoder.frame->nb_samples == kUnit && decoder.frame->format == AV_SAMPLE_FMT_FLTP &&
                    decoder.frame->ch_layout.nb_channels == channels_) {
                    for (int c = 0; c < channels_; ++c)
                        std::memcpy(decoder.samples[static_cast<std::size_t>(c)].data(),
                                    decoder.frame->extended_data[c], sizeof(float) * kUnit);
                    gotOne = true;
                }
                av_frame_unref(decoder.frame.get());
            }
            if (wanted && !gotOne) {
                decoder.next = -1;
                return result::kFalse;
            }
        }
        decoder.decoded = target;
        return result::kOk;
    }

    std::vector<Source>& sources_;
    Decoder decoder_;
    int channels_;
};

AacFrameJoin::AacFrameJoin() = default;
AacFrameJoin::~AacFrameJoin() = default;

MediaResult AacFrameJoin::plan(const RenderPlan& plan, std::unique_ptr<AacFrameJoin>& join, std::string& reason,
                               std::stop_token stop)
{
    join.reset();
    reason.clear();
    if (plan.sources.empty()) {
        reason = "the join has no files";
        return result::kOk;
    }
    std::unique_ptr<AacFrameJoin> made(new AacFrameJoin);
    std::int64_t at = 0;
    for (std::size_t k = 0; k < plan.sources.size(); ++k) {
        const PlannedSource& planned = plan.sources[k];
        const std::string name = nameOf(planned.path);
        if (planned.mediaStart != 0 || planned.firstFrame != at) {
            reason = name + " is not joined whole, right after the file before it";
            return result::kOk;
        }
        if (k + 1 == plan.sources.size() && planned.endFrame != plan.totalFrames) {
            reason = "the join ends in silence after its last file";
            return result::kOk;
        }
        Source source;
        source.path = planned.path;
        source.start = at;
        source.length = planned.endFrame - planned.firstFrame;
        if (const MediaResult read = readAacSourceUnits(planned.path, source.length, source.units, reason, stop);
            failed(read) || !reason.empty()) {
            if (!reason.empty())
                reason = name + " " + reason;
            return read;
        }
        const AacSourceUnits& units = source.units;
        if (units.sampleRate != plan.format.sampleRate || units.channels != plan.format.channels ||
            (k > 0 && units.rateIndex != made->rateIndex_)) {
            reason = name + " differs from the output in its sample rate or channels";
            return result::kOk;
        }
        if (k == 0) {
            made->sampleRate_ = units.sampleRate;
            made->channels_ = units.channels;
            made->rateIndex_ = units.rateIndex;
            made->setup_ = units.setup;
            made->priming_ = units.priming;
            made->bitRate_ = units.bitRate;
        }
        const std::int64_t shift = at + made->priming_ - units.priming;
        if (floorDiv(shift, kUnit) * kUnit != shift) {
            reason = name + " was not cut where the join's access units fall";
            return result::kOk;
        }
        source.shift = shift / kUnit;
        at = planned.endFrame;
        made->sources_.push_back(std::move(source));
    }
    made->totalSamples_ = at;
    made->outputUnits_ = ceilDiv(made->priming_ + at, kUnit);

    // Which units each source gives as they are: those whose transform
    // takes in its own sound alone, or silence outside the join.
    std::int64_t planned = 0;
    for (std::size_t k = 0; k < made->sources_.size(); ++k) {
        Source& source = made->sources_[k];
        const bool first = k == 0;
        const bool last = k + 1 == made->sources_.size();
        const std::int64_t count = static_cast<std::int64_t>(source.units.units.size());
        std::int64_t low = first ? 0 : ceilDiv(source.start + made->priming_, kUnit);
        std::int64_t high =
            last ? made->outputUnits_ : floorDiv(source.start + source.length + made->priming_, kUnit) - 1;
        low = std::max({low, source.shift, planned});
        high = std::min(high, source.shift + count);
        // Next to a stretch, the overlap of the copied unit with it is long.
        AacWindow window = AacWindow::OnlyLong;
        while (low < high && low > planned) {
            const MediaResult read = windowOf(source, low - source.shift, window);
            if (failed(read))
                return read;
            if (read == result::kFalse) {
                reason = nameOf(source.path) + " has a damaged access unit";
                return result::kOk;
            }
            if (startsLong(window))
                break;
            ++low;
        }
        while (low < high && !last) {
            const MediaResult read = windowOf(source, high - 1 - source.shift, window);
            if (failed(read))
                return read;
            if (read == result::kFalse) {
                reason = nameOf(source.path) + " has a damaged access unit";
                return result::kOk;
            }
            if (endsLong(window))
                break;
            --high;
        }
        if (low >= high)
            continue;
        if (low > planned)
            made->pieces_.push_back({false, 0, planned, low});
        made->pieces_.push_back({true, k, low, high});
        planned = high;
    }
    if (planned < made->outputUnits_)
        made->pieces_.push_back({false, 0, planned, made->outputUnits_});
    for (const Piece& piece : made->pieces_)
        if (!piece.copied && piece.end - piece.first > kLongestStretchUnits) {
            reason = "the join's files are too short to copy";
            return result::kOk;
        }
    made->sound_ = std::make_unique<Sound>(made->sources_, made->channels_);
    join = std::move(made);
    return result::kOk;
}

std::int64_t AacFrameJoin::copiedUnits() const
{
    std::int64_t copied = 0;
    for (const Piece& piece : pieces_)
        if (piece.copied)
            copied += piece.end - piece.first;
    return copied;
}

void AacFrameJoin::reportUnit(std::int64_t unit, const ProgressHandler& progress) const
{
    if (progress)
        progress(std::clamp<std::int64_t>((unit + 1) * kUnit - priming_, 0, totalSamples_));
}

MediaResult AacFrameJoin::run(const UnitHandler& units, std::stop_token stop, const ProgressHandler& progress)
{
    for (std::size_t i = 0; i < pieces_.size(); ++i) {
        if (stop.stop_requested())
            return result::kStopped;
        const MediaResult made = pieces_[i].copied ? copyUnits(pieces_[i], units, stop, progress)
                                                   : encodeStretch(i, units, stop, progress);
        if (failed(made) || made == result::kFalse)
            return made;
    }
    return result::kOk;
}

MediaResult AacFrameJoin::copyUnits(const Piece& piece, const UnitHandler& units, std::stop_token stop,
                                    const ProgressHandler& progress)
{
    Source& source = sources_[piece.source];
    if (const MediaResult opened = openSource(source); failed(opened))
        return opened;
    const std::vector<AacUnit>& all = source.units.units;
    // Not zeroed first: every byte used is read into it.
    const std::unique_ptr<std::uint8_t[]> chunk(new std::uint8_t[kCopyChunkBytes]);
    std::int64_t g = piece.first;
    while (g < piece.end) {
        // As many whole units as lie one after another within a chunk, read in one call.
        const auto firstUnit = static_cast<std::size_t>(g - source.shift);
        const auto endLimit = static_cast<std::size_t>(piece.end - source.shift);
        std::size_t endUnit = firstUnit + 1;
        std::uint64_t bytes = all[firstUnit].size;
        while (endUnit < endLimit && all[endUnit].offset == all[firstUnit].offset + bytes &&
               bytes + all[endUnit].size <= kCopyChunkBytes) {
            bytes += all[endUnit].size;
            ++endUnit;
        }
        const std::uint64_t base = all[firstUnit].offset;
        if (const MediaResult read = readSourceAt(source.fd, chunk.get(), bytes, base); failed(read))
            return read;
        for (std::size_t u = firstUnit; u < endUnit; ++u, ++g) {
            if (stop.stop_requested())
                return result::kStopped;
            const std::uint8_t* at = chunk.get() + (all[u].offset - base);
            // A unit that is not what AAC-LC starts with would make a file
            // that decoders choke on.
            AacWindow window = AacWindow::OnlyLong;
            if (!inspectAacUnit(at, all[u].size, channels_, rateIndex_, window))
                return result::kFalse;
            if (const MediaResult written = units(at, static_cast<int>(all[u].size)); failed(written))
                return written;
            lastWindowKnown_ = true;
            lastWindow_ = window;
            reportUnit(g, progress);
        }
    }
    return result::kOk;
}

namespace {

struct StretchEncoder {
    CodecContextPtr context;
    FramePtr frame;
    PacketPtr packet;
};

MediaResult openStretchEncoder(int sampleRate, int channels, std::int64_t bitRate, StretchEncoder& encoder)
{
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
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
    context.profile = FF_PROFILE_AAC_LOW;
    context.time_base = AVRational{1, sampleRate};
    // Noise substitution draws on the decoder's random numbers, which the
    // copied units after the stretch would then find elsewhere in their
    // sequence than in their own file.
    av_opt_set_int(context.priv_data, "aac_pns", 0, 0);
    // The fast coder costs a third of the default's time, and on the few
    // units of a stretch comes as close to the sources.
    av_opt_set(context.priv_data, "aac_coder", "fast", 0);
    if (const int error = avcodec_open2(&context, codec, nullptr); error < 0)
        return error == AVERROR(ENOMEM) ? result::kOutOfMemory : result::kNoEncoder;
    if (context.frame_size != kUnit)
        return result::kUnexpected;
    encoder.frame->format = AV_SAMPLE_FMT_FLTP;
    encoder.frame->nb_samples = context.frame_size;
    encoder.frame->sample_rate = sampleRate;
    if (av_channel_layout_copy(&encoder.frame->ch_layout, &context.ch_layout) < 0 ||
        av_frame_get_buffer(encoder.frame.get(), 0) < 0)
        return result::kOutOfMemory;
    return result::kOk;
}

} // namespace

MediaResult AacFrameJoin::encodeStretch(std::size_t index, const UnitHandler& units, std::stop_token stop,
                                        const ProgressHandler& progress)
{
    Piece& piece = pieces_[index];
    Piece* next = index + 1 < pieces_.size() && pieces_[index + 1].copied ? &pieces_[index + 1] : nullptr;
    std::int64_t bitRate = 0;
    for (const Piece* neighbour : {index > 0 ? &pieces_[index - 1] : nullptr, next})
        if (neighbour && neighbour->copied)
            bitRate = std::max(bitRate, sources_[neighbour->source].units.bitRate);
    if (bitRate == 0)
        bitRate = bitRate_;
    bitRate = std::min(bitRate * kStretchRateNumerator / kStretchRateDenominator,
                       kHighestStretchRatePerChannel * channels_);

    for (int growth = 0;; ++growth) {
        StretchEncoder encoder;
        if (const MediaResult opened = openStretchEncoder(sampleRate_, channels_, bitRate, encoder); failed(opened))
            return opened;
        AVCodecContext& context = *encoder.context;
        // The encoder's own first units play its priming: with the warm-up
        // they are encoded and left out, so that the first unit kept sees
        // the sound before it as the copied unit there did.
        const std::int64_t encoderPriming = context.initial_padding;
        const std::int64_t dropped = ceilDiv(encoderPriming, kUnit) + kEncoderWarmUpUnits;
        const std::int64_t wanted = piece.end - piece.first;
        std::int64_t fed = (piece.first - dropped) * kUnit + encoderPriming - priming_;
        const std::int64_t feedLimit = fed + (wanted + dropped + kEncoderLookAheadUnits) * kUnit;
        std::vector<std::vector<std::uint8_t>> kept;
        std::vector<std::vector<float>> planes;
        // The sound the stretch may take, decoded in one go, one source after another.
        const std::int64_t feedStart = fed;
        if (const MediaResult read = sound_->read(fed, static_cast<int>(feedLimit - fed), planes);
            failed(read) || read == result::kFalse)
            return read;
        std::int64_t packets = 0;
        while (static_cast<std::int64_t>(kept.size()) < wanted) {
            if (stop.stop_requested())
                return result::kStopped;
            if (fed >= feedLimit)
                return result::kUnexpected;
            if (av_frame_make_writable(encoder.frame.get()) < 0)
                return result::kOutOfMemory;
            for (int c = 0; c < channels_; ++c)
                std::memcpy(encoder.frame->extended_data[c], planes[static_cast<std::size_t>(c)].data() + (fed - feedStart),
                            sizeof(float) * kUnit);
            encoder.frame->pts = fed;
            fed += kUnit;
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
        // The stretch meets the units on either side with the windows they have.
        AacWindow firstWindow = AacWindow::OnlyLong;
        AacWindow lastWindow = AacWindow::OnlyLong;
        if (!inspectAacUnit(kept.front().data(), kept.front().size(), channels_, rateIndex_, firstWindow) ||
            !inspectAacUnit(kept.back().data(), kept.back().size(), channels_, rateIndex_, lastWindow))
            return result::kUnexpected;
        if (lastWindowKnown_ && endsLong(lastWindow_) != startsLong(firstWindow))
            return result::kFalse;
        AacWindow nextWindow = AacWindow::OnlyLong;
        if (next) {
            Source& after = sources_[next->source];
            const MediaResult read = windowOf(after, next->first - after.shift, nextWindow);
            if (failed(read) || read == result::kFalse)
                return read;
        }
        if (next && (!endsLong(lastWindow) || !startsLong(nextWindow))) {
            // The next copied unit joins the stretch, and the stretch is tried again.
            if (growth == kStretchGrowths || next->end - next->first < 2)
                return result::kFalse;
            ++piece.end;
            ++next->first;
            continue;
        }
        for (std::size_t i = 0; i < kept.size(); ++i) {
            if (const MediaResult written = units(kept[i].data(), static_cast<int>(kept[i].size())); failed(written))
                return written;
            reportUnit(piece.first + static_cast<std::int64_t>(i), progress);
        }
        lastWindowKnown_ = true;
        lastWindow_ = lastWindow;
        return result::kOk;
    }
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/source_renderer.h"

#include "media/audio_decoder.h"
#include "media/ffmpeg.h"
#include "media/media_input.h"
#include "media/partial_file.h"
#include "media/source_file.h"
#include "media/wav_header.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kestrine {
namespace {

// One large write per quarter megabyte keeps system calls off the profile.
constexpr std::int64_t kPendingBytes = 256 * 1024;
constexpr std::uint64_t kCopyChunkBytes = 4 * 1024 * 1024;
// libswresample's limit on the channels of one context.
constexpr int kMaxResamplerChannels = 64;

// Takes converted frames in order and puts them into the source's range:
// drops what lies before the media start, stops taking at the range's end,
// and pads with silence when the sound ends early.
class RangeWriter {
public:
    RangeWriter(OutputSink& output, const PlannedSource& source, std::int64_t skipFrames,
                std::int64_t contentFrames, RenderBuffers& buffers, const RangeProgress& progress)
        : output_(output), firstFrame_(source.firstFrame), endFrame_(source.endFrame),
          skip_(skipFrames), limit_(std::min(contentFrames, source.endFrame - source.firstFrame)),
          frameBytes_(output.bytesPerFrame()), buffers_(buffers), progress_(progress)
    {
        buffers_.pending.resize(static_cast<std::size_t>(kPendingBytes));
        capacity_ = kPendingBytes / frameBytes_;
    }

    bool full() const { return written_ + pending_ >= limit_; }
    std::int64_t taken() const { return written_ + pending_; }
    // The frames of the file's sound the range takes at most.
    std::int64_t limit() const { return limit_; }

    MediaResult append(const std::uint8_t* data, std::int64_t frames)
    {
        const std::int64_t dropped = std::min(skip_, frames);
        skip_ -= dropped;
        data += dropped * frameBytes_;
        frames = std::min(frames - dropped, limit_ - taken());
        while (frames > 0) {
            const std::int64_t count = std::min(frames, capacity_ - pending_);
            std::memcpy(buffers_.pending.data() + pending_ * frameBytes_, data,
                        static_cast<std::size_t>(count * frameBytes_));
            pending_ += count;
            data += count * frameBytes_;
            frames -= count;
            if (pending_ == capacity_)
                if (const MediaResult flushed = flush(); failed(flushed))
                    return flushed;
        }
        return result::kOk;
    }

    // Everything the file may give has been appended: write the rest and the padding.
    MediaResult finish(std::stop_token stop)
    {
        if (const MediaResult flushed = flush(); failed(flushed))
            return flushed;
        const std::int64_t missing = endFrame_ - firstFrame_ - written_;
        if (missing > 0) {
            if (const MediaResult padded = output_.writeSilence(firstFrame_ + written_, missing, stop);
                failed(padded))
                return padded;
            written_ += missing;
        }
        progress_(written_);
        return result::kOk;
    }

private:
    MediaResult flush()
    {
        if (pending_ == 0)
            return result::kOk;
        if (const MediaResult written = output_.writeFrames(firstFrame_ + written_,
                                                            buffers_.pending.data(), pending_);
            failed(written))
            return written;
        written_ += pending_;
        pending_ = 0;
        progress_(written_);
        return result::kOk;
    }

    OutputSink& output_;
    std::int64_t firstFrame_;
    std::int64_t endFrame_;
    std::int64_t skip_;
    std::int64_t limit_;
    int frameBytes_;
    RenderBuffers& buffers_;
    const RangeProgress& progress_;
    std::int64_t capacity_ = 0;
    std::int64_t pending_ = 0;
    std::int64_t written_ = 0;
};

std::int64_t contentFramesOf(const PlannedSource& source, int sampleRate)
{
    if (source.soundFrames >= 0)
        return source.soundFrames;
    if (source.mediaStop <= source.mediaStart)
        return source.endFrame - source.firstFrame;
    return frameAt(source.mediaStop, sampleRate) - frameAt(source.mediaStart, sampleRate);
}

// Keeps the top three bytes of each little-endian 32-bit sample, in place:
// the packed 24-bit samples a WAV holds.
void packTo24Bits(std::uint8_t* samples, int count)
{
    const std::uint8_t* from = samples;
    std::uint8_t* to = samples;
    for (int i = 0; i < count; ++i, from += 4, to += 3) {
        to[0] = from[1];
        to[1] = from[2];
        to[2] = from[3];
    }
}

// The decode path: one input, one decoder, one resampler that is rebuilt if the
// stream changes its format midway.
class SourceDecoder {
public:
    SourceDecoder(MediaInput& input, const OutputFormat& format, RenderBuffers& buffers, bool manualSkip,
                  PacketReader reader = {})
        : input_(input), format_(format), buffers_(buffers), manualSkip_(manualSkip), reader_(std::move(reader))
    {
    }

    // How many frames short of its measured length the file's sound may
    // come out without having lost any: one for rounding, and for each
    // conversion of rate, one frame of the file's rate and one of rounding.
    std::int64_t slack() const { return slack_; }
    // The decoded sound taken so far, in frames at the output's rate: what
    // the file gave, whatever the resampler makes of a few frames.
    std::int64_t soundFrames() const { return static_cast<std::int64_t>(soundFrames_ + 0.5); }

    MediaResult decodeInto(RangeWriter& writer, std::stop_token stop)
    {
        AudioDecoder decoder(input_, reader_);
        const MediaResult decoded = decoder.decode(
            [&](const AVFrame& frame) {
                const MediaResult converted = convertFrame(frame, writer);
                return failed(converted) || !writer.full() ? converted : result::kFalse;
            },
            stop);
        if (failed(decoded) || writer.full())
            return decoded;
        return drainResampler(writer);
    }

private:
    // Compares what the frame carries with what the frame that built the
    // resampler carried: a file without a channel order gives every frame the
    // same unspecified one, and that is no reason to rebuild.
    bool resamplerMatches(const AVFrame& frame) const
    {
        return resampler_ && frame.format == inFormat_ && frame.sample_rate == inRate_ &&
               av_channel_layout_compare(&frame.ch_layout, &frameLayout_) == 0;
    }

    MediaResult initResampler(const AVFrame& frame)
    {
        av_channel_layout_uninit(&frameLayout_);
        if (av_channel_layout_copy(&frameLayout_, &frame.ch_layout) < 0)
            return result::kOutOfMemory;
        inFormat_ = frame.format;
        inRate_ = frame.sample_rate;

        // More channels than a resampler takes are folded to the output's
        // count first; where the file names no channel order, FFmpeg's usual
        // one for the count.
        folding_ = frame.ch_layout.nb_channels > kMaxResamplerChannels;
        AVChannelLayout inLayout{};
        auto inFormat = static_cast<AVSampleFormat>(frame.format);
        if (folding_) {
            av_channel_layout_default(&inLayout, format_.channels);
            inFormat = AV_SAMPLE_FMT_FLTP;
        } else if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame.ch_layout.nb_channels <= 0) {
            av_channel_layout_default(&inLayout, frame.ch_layout.nb_channels > 0 ? frame.ch_layout.nb_channels : 1);
        } else if (av_channel_layout_copy(&inLayout, &frame.ch_layout) < 0) {
            return result::kOutOfMemory;
        }
        ResamplerPtr resampler;
        MediaResult made = makeResampler(inLayout, inFormat, MixMatrix::Ffmpeg, resampler);
        // FFmpeg mixes only channels it knows the places of; channels without
        // one still reach the output rather than failing the file.
        if (made == result::kDecodeFailed && inLayout.nb_channels > format_.channels)
            made = makeResampler(inLayout, inFormat, MixMatrix::RoundRobin, resampler);
        av_channel_layout_uninit(&inLayout);
        if (failed(made))
            return made;
        resampler_ = std::move(resampler);
        if (inRate_ != format_.sampleRate && inRate_ > 0)
            slack_ += 1 + (format_.sampleRate + inRate_ - 1) / inRate_;
        return result::kOk;
    }

    enum class MixMatrix { Ffmpeg, RoundRobin };

    MediaResult makeResampler(AVChannelLayout& inLayout, AVSampleFormat inFormat, MixMatrix mix,
                              ResamplerPtr& made) const
    {
        AVChannelLayout outLayout{};
        av_channel_layout_default(&outLayout, format_.channels);
        SwrContext* raw = nullptr;
        int error = swr_alloc_set_opts2(&raw, &outLayout, resampledFormat(), format_.sampleRate, &inLayout,
                                        inFormat, inRate_, 0, nullptr);
        ResamplerPtr resampler(raw);
        if (error < 0)
            return error == AVERROR(ENOMEM) ? result::kOutOfMemory : result::kDecodeFailed;
        const int inChannels = inLayout.nb_channels;
        if (mix == MixMatrix::RoundRobin) {
            std::vector<double> matrix(static_cast<std::size_t>(format_.channels * inChannels), 0.0);
            for (int in = 0; in < inChannels; ++in)
                matrix[static_cast<std::size_t>(in % format_.channels * inChannels + in)] =
                    foldWeight(inChannels, in % format_.channels);
            if ((error = swr_set_matrix(resampler.get(), matrix.data(), inChannels)) < 0)
                return result::kDecodeFailed;
        } else if (inChannels == 1 && format_.channels == 2) {
            // A mono recording plays at full level on both sides, not 3 dB down.
            const double toBoth[2] = {1.0, 1.0};
            if ((error = swr_set_matrix(resampler.get(), toBoth, 1)) < 0)
                return result::kDecodeFailed;
        }
        if ((error = swr_init(resampler.get())) < 0)
            return error == AVERROR(ENOMEM) ? result::kOutOfMemory : result::kDecodeFailed;
        made = std::move(resampler);
        return result::kOk;
    }

    // 24-bit output comes from the resampler as 32-bit samples, whose top
    // three bytes are the output's.
    AVSampleFormat resampledFormat() const { return format_.bitsPerSample == 24 ? AV_SAMPLE_FMT_S32 : AV_SAMPLE_FMT_S16; }

    // Runs `frames` input frames (none to drain) through the resampler into the writer.
    MediaResult resample(const std::uint8_t** input, int frames, RangeWriter& writer)
    {
        const int bytesPerFrame = format_.channels * av_get_bytes_per_sample(resampledFormat());
        for (;;) {
            const int capacity = std::max(swr_get_out_samples(resampler_.get(), frames), 256);
            const auto bytes = static_cast<std::size_t>(capacity) * static_cast<std::size_t>(bytesPerFrame);
            if (buffers_.converted.size() < bytes)
                buffers_.converted.resize(bytes);
            std::uint8_t* out = buffers_.converted.data();
            const int converted = swr_convert(resampler_.get(), &out, capacity, input, frames);
            if (converted < 0)
                return result::kDecodeFailed;
            if (format_.bitsPerSample == 24)
                packTo24Bits(out, converted * format_.channels);
            if (const MediaResult appended = writer.append(out, converted); failed(appended))
                return appended;
            // Draining may take several rounds; a frame of input takes one.
            if (input || converted == 0)
                return result::kOk;
        }
    }

    MediaResult drainResampler(RangeWriter& writer)
    {
        if (!resampler_)
            return result::kOk;
        return resample(nullptr, 0, writer);
    }

    MediaResult convertFrame(const AVFrame& frame, RangeWriter& writer)
    {
        if (frame.nb_samples <= 0)
            return result::kOk;
        if (!resamplerMatches(frame)) {
            // The old resampler's tail belongs before the new format's first frame.
            if (const MediaResult drained = drainResampler(writer); failed(drained))
                return drained;
            if (const MediaResult made = initResampler(frame); failed(made))
                return made;
        }
        const int skip = manualSkip_ ? leadingSkipOf(frame) : 0;
        if (skip >= frame.nb_samples)
            return result::kOk;
        soundFrames_ += static_cast<double>(frame.nb_samples - skip) * format_.sampleRate / inRate_;
        if (folding_) {
            foldChannels(frame, skip, frame.nb_samples - skip);
            return resample(planes_.data(), frame.nb_samples - skip, writer);
        }
        // Past the encoder delay by moving the plane pointers, not by copying.
        const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(frame.format));
        const int planeCount = planar ? frame.ch_layout.nb_channels : 1;
        const int skipBytes = skip * av_get_bytes_per_sample(static_cast<AVSampleFormat>(frame.format)) *
                              (planar ? 1 : frame.ch_layout.nb_channels);
        planes_.resize(static_cast<std::size_t>(planeCount));
        for (int plane = 0; plane < planeCount; ++plane)
            planes_[static_cast<std::size_t>(plane)] = frame.extended_data[plane] + skipBytes;
        return resample(planes_.data(), frame.nb_samples - skip, writer);
    }

    // Input channel i goes to output channel i mod n, each output the mean of
    // its inputs, as sox's channels effect mixes channels that have no places.
    double foldWeight(int inChannels, int output) const
    {
        return 1.0 / ((inChannels - output + format_.channels - 1) / format_.channels);
    }

    // The round-robin mix done here, into float planes, for channel counts no
    // resampler takes. Only such files pay for this pass over their samples.
    void foldChannels(const AVFrame& frame, int first, int count)
    {
        const int channels = frame.ch_layout.nb_channels;
        const auto sampleFormat = static_cast<AVSampleFormat>(frame.format);
        const AVSampleFormat packed = av_get_packed_sample_fmt(sampleFormat);
        const bool planar = av_sample_fmt_is_planar(sampleFormat);
        folded_.assign(static_cast<std::size_t>(format_.channels) * static_cast<std::size_t>(count), 0.0f);
        for (int channel = 0; channel < channels; ++channel) {
            const int output = channel % format_.channels;
            const auto weight = static_cast<float>(foldWeight(channels, output));
            float* target = folded_.data() + static_cast<std::ptrdiff_t>(output) * count;
            const std::uint8_t* data = frame.extended_data[planar ? channel : 0];
            for (int i = 0; i < count; ++i) {
                const int index = planar ? first + i : (first + i) * channels + channel;
                target[i] += weight * sampleAt(data, packed, index);
            }
        }
        planes_.resize(static_cast<std::size_t>(format_.channels));
        for (int output = 0; output < format_.channels; ++output)
            planes_[static_cast<std::size_t>(output)] =
                reinterpret_cast<const std::uint8_t*>(folded_.data() + static_cast<std::ptrdiff_t>(output) * count);
    }

    static float sampleAt(const std::uint8_t* data, AVSampleFormat packed, int index)
    {
        switch (packed) {
        case AV_SAMPLE_FMT_U8: return static_cast<float>(data[index] - 128) / 128.0f;
        case AV_SAMPLE_FMT_S16: return static_cast<float>(reinterpret_cast<const std::int16_t*>(data)[index]) / 32768.0f;
        case AV_SAMPLE_FMT_S32:
            return static_cast<float>(reinterpret_cast<const std::int32_t*>(data)[index] / 2147483648.0);
        case AV_SAMPLE_FMT_S64:
            return static_cast<float>(static_cast<double>(reinterpret_cast<const std::int64_t*>(data)[index]) /
                                      9223372036854775808.0);
        case AV_SAMPLE_FMT_FLT: return reinterpret_cast<const float*>(data)[index];
        case AV_SAMPLE_FMT_DBL: return static_cast<float>(reinterpret_cast<const double*>(data)[index]);
        default: return 0.0f;
        }
    }

public:
    ~SourceDecoder() { av_channel_layout_uninit(&frameLayout_); }
    SourceDecoder(const SourceDecoder&) = delete;
    SourceDecoder& operator=(const SourceDecoder&) = delete;

private:
    MediaInput& input_;
    const OutputFormat& format_;
    RenderBuffers& buffers_;
    ResamplerPtr resampler_;
    AVChannelLayout frameLayout_{}; // as the frame that built the resampler carried it
    int inFormat_ = -1;
    int inRate_ = 0;
    bool manualSkip_ = false;
    PacketReader reader_;
    std::vector<const std::uint8_t*> planes_;
    bool folding_ = false;
    std::vector<float> folded_;
    std::int64_t slack_ = 1;
    double soundFrames_ = 0;
};

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// Copies `frames` frames from `in` at `inOffset` to the output's
// `firstFrame` in chunks, so a stop is seen within a few milliseconds.
// `copiedFrames` says how many the file held.
MediaResult copyBytes(int in, std::uint64_t inOffset, OutputSink& output, std::int64_t firstFrame,
                      std::int64_t frames, std::stop_token stop, RenderBuffers& buffers,
                      const RangeProgress& progress, std::int64_t& copiedFrames)
{
    const auto frameBytes = static_cast<std::uint64_t>(output.bytesPerFrame());
    auto in64 = static_cast<off64_t>(inOffset);
    auto out64 = static_cast<off64_t>(output.offsetOfFrame(firstFrame));
    std::uint64_t left = static_cast<std::uint64_t>(frames) * frameBytes;
    std::uint64_t done = 0;
    bool kernelCopies = output.descriptor() >= 0;
    while (left > 0) {
        if (stop.stop_requested())
            return result::kStopped;
        // Read and written, a chunk goes in whole or not at all (an output's
        // window takes writes up to half its size so): the progress counts
        // all that a stopped render wrote.
        const std::uint64_t chunk =
            std::min(left, kernelCopies ? kCopyChunkBytes : static_cast<std::uint64_t>(kPendingBytes));
        ssize_t copied = -1;
        if (kernelCopies) {
            copied = ::copy_file_range(in, &in64, output.descriptor(), &out64, chunk, 0);
            if (copied < 0 && (errno == EXDEV || errno == ENOSYS || errno == EOPNOTSUPP ||
                               errno == EINVAL || errno == EBADF)) {
                kernelCopies = false;
                continue;
            }
            if (copied < 0 && errno == EINTR)
                continue;
            if (copied < 0)
                return errno == EIO ? result::kDecodeFailed : resultOfWriteError(errno);
        } else {
            buffers.copy.resize(kCopyChunkBytes);
            copied = ::pread(in, buffers.copy.data(), chunk, in64);
            if (copied < 0 && errno == EINTR)
                continue;
            if (copied < 0)
                return result::kDecodeFailed;
            if (copied > 0) {
                const std::int64_t whole = copied / static_cast<ssize_t>(frameBytes);
                copied = static_cast<ssize_t>(whole * static_cast<std::int64_t>(frameBytes));
                const std::int64_t at = firstFrame + static_cast<std::int64_t>(done / frameBytes);
                if (const MediaResult written = output.writeFrames(at, buffers.copy.data(), whole);
                    failed(written))
                    return written;
                in64 += copied;
                out64 += copied;
            }
        }
        if (copied == 0)
            break; // the file ends sooner than its header said
        left -= static_cast<std::uint64_t>(copied);
        done += static_cast<std::uint64_t>(copied);
        progress(static_cast<std::int64_t>(done / frameBytes));
    }
    copiedFrames = static_cast<std::int64_t>(done / frameBytes);
    return result::kOk;
}

// More than a frame missing of what a source was measured to hold: it was
// cut after it was measured, and silence in its place is not its sound.
constexpr std::int64_t kMissingFramesAllowed = 1;

// The copy path: a WAV already in the output's format needs no decoding.
// kFalse when the file is not such a WAV and must be decoded.
MediaResult copyMatchingWav(const PlannedSource& source, std::int64_t offset, std::int64_t frames,
                            const OutputFormat& format, OutputSink& output, const std::stop_token& stop,
                            RenderBuffers& buffers, const RangeProgress& progress, std::int64_t& framesFromFile)
{
    int fd = -1;
    if (const MediaResult opened = openSourceFile(source.path, fd); failed(opened))
        return opened == result::kSourceNotRegularFile ? opened : result::kFalse; // the decode path says why
    const FileDescriptor in(fd);
    const PcmWavLayout layout = readPcmWavLayout(in.get());
    if (!matchesOutputFormat(layout, format))
        return result::kFalse;

    const auto frameBytes = static_cast<std::uint64_t>(output.bytesPerFrame());
    const auto available = static_cast<std::int64_t>(layout.dataBytes / frameBytes);
    const std::int64_t skip = std::clamp<std::int64_t>(frameAt(source.mediaStart, format.sampleRate), 0, available);
    const std::int64_t range = source.endFrame - source.firstFrame;
    const std::int64_t wanted = std::clamp<std::int64_t>(contentFramesOf(source, format.sampleRate), 0, range);
    if (available - skip < wanted - kMissingFramesAllowed)
        return result::kSourceShrank;
    // What of the file's sound falls into the stretch.
    const std::int64_t expected = std::clamp<std::int64_t>(wanted - offset, 0, frames);
    const std::int64_t content = std::clamp<std::int64_t>(available - skip - offset, 0, expected);

    std::int64_t copiedFrames = 0;
    MediaResult copied =
        copyBytes(in.get(), layout.dataOffset + static_cast<std::uint64_t>(skip + offset) * frameBytes, output,
                  source.firstFrame + offset, content, stop, buffers, progress, copiedFrames);
    framesFromFile = copiedFrames;
    if (failed(copied))
        return copied;
    if (copiedFrames < expected - kMissingFramesAllowed)
        return result::kSourceShrank;
    if (copiedFrames < frames) {
        if (const MediaResult padded = output.writeSilence(source.firstFrame + offset + copiedFrames,
                                                           frames - copiedFrames, stop);
            failed(padded))
            return padded;
    }
    progress(frames);
    return result::kOk;
}

// A stretch that does not start the range, decoded from a little before it
// by a decoder of its own. kFalse when only a decoder from the file's start
// gives it exactly. `skip` is the stretch's first frame in the sound the
// file gives, `whole` the frames of sound the whole range takes.
MediaResult decodeAfterPreRoll(const PlannedSource& source, const PlannedSource& part, SplitKind kind,
                               std::int64_t skip, std::int64_t whole, std::int64_t limit,
                               const OutputFormat& format, OutputSink& output, const std::stop_token& stop,
                               RenderBuffers& buffers, const RangeProgress& progress, std::int64_t& framesFromFile)
{
    std::unique_ptr<StretchReader>& reader = buffers.stretchReader;
    std::int64_t first = 0;
    MediaResult sought = result::kFalse;
    if (reader && reader->path() == source.path)
        sought = reader->seekTo(skip, first);
    if (sought == result::kFalse) {
        // Another file's reader, or one that has read past this stretch.
        reader.reset();
        if (const MediaResult opened = StretchReader::open(source.path, kind, stop, reader); failed(opened))
            return opened;
        sought = reader->seekTo(skip, first);
    }
    if (failed(sought) || sought == result::kFalse) {
        reader.reset();
        return sought;
    }
    if (const MediaResult opened = openDecoder(reader->input()); failed(opened)) {
        reader.reset();
        return opened;
    }
    RangeWriter writer(output, part, skip - first, limit, buffers, progress);
    StretchReader* packets = reader.get();
    SourceDecoder decoder(reader->input(), format, buffers, false,
                          [packets](AVPacket* packet) { return packets->readPacket(packet); });
    if (const MediaResult decoded = decoder.decodeInto(writer, stop); failed(decoded)) {
        reader.reset();
        return decoded;
    }
    framesFromFile = writer.taken();
    if (!writer.full() && whole - (first + decoder.soundFrames()) > decoder.slack())
        return result::kSourceShrank;
    return writer.finish(stop);
}

} // namespace

MediaResult renderSource(const PlannedSource& source, const OutputFormat& format, OutputSink& output,
                         std::stop_token stop, RenderBuffers& buffers, const RangeProgress& progress,
                         std::int64_t* framesFromFile, const SourceStretch& stretch)
{
    std::int64_t taken = 0;
    if (framesFromFile)
        *framesFromFile = 0;
    const std::int64_t range = source.endFrame - source.firstFrame;
    const std::int64_t offset = std::clamp<std::int64_t>(stretch.offset, 0, range);
    const std::int64_t frames =
        stretch.frames < 0 ? range - offset : std::min(stretch.frames, range - offset);
    if (frames <= 0)
        return result::kOk;
    if (const MediaResult copied =
            copyMatchingWav(source, offset, frames, format, output, stop, buffers, progress, taken);
        copied != result::kFalse) {
        if (framesFromFile)
            *framesFromFile = taken;
        return copied;
    }

    // The stretch's frames as a range of their own, and what of the file's
    // sound they take.
    PlannedSource part = source;
    part.firstFrame = source.firstFrame + offset;
    part.endFrame = part.firstFrame + frames;
    const std::int64_t whole = std::min(contentFramesOf(source, format.sampleRate), range);
    const std::int64_t limit = std::clamp<std::int64_t>(whole - offset, 0, frames);
    const std::int64_t skip = frameAt(source.mediaStart, format.sampleRate) + offset;
    if (offset > 0 && stretch.kind != SplitKind::None) {
        const MediaResult decoded = decodeAfterPreRoll(source, part, stretch.kind, skip, whole, limit, format,
                                                       output, stop, buffers, progress, taken);
        if (framesFromFile)
            *framesFromFile = taken;
        if (decoded != result::kFalse)
            return decoded;
    }

    MediaInput input;
    if (const MediaResult opened = openMediaInput(source.path, input, false, stop); failed(opened))
        return opened;
    // Where FFmpeg's trimming of the end is not to be trusted, the range cuts
    // instead: the measured length came from the container's own timestamps.
    const bool manualSkip = trimsEndUnreliably(input);
    if (const MediaResult opened = openDecoder(input, manualSkip); failed(opened))
        return opened;
    RangeWriter writer(output, part, skip, limit, buffers, progress);
    SourceDecoder decoder(input, format, buffers, manualSkip);
    if (const MediaResult decoded = decoder.decodeInto(writer, stop); failed(decoded))
        return decoded;
    if (framesFromFile)
        *framesFromFile = writer.taken();
    if (!writer.full() && whole - decoder.soundFrames() > decoder.slack())
        return result::kSourceShrank;
    return writer.finish(stop);
}

} // namespace kestrine

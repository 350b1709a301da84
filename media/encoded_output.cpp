// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/encoded_output.h"

#include <algorithm>

namespace kestrine {
namespace {

// About twelve seconds of stereo 16-bit sound at 44,100 Hz: enough to keep
// the encoder fed across a source's opening, small beside any join.
constexpr std::int64_t kWindowFrames = std::int64_t{1} << 19;
// With encoders on stretches, the stretches hold the sound waiting to be
// encoded: the window only lets the workers write ahead of the cutting.
constexpr std::int64_t kStretchWindowFrames = std::int64_t{1} << 18;
// The encoders of the stretches and the sound of those being encoded or
// waiting to be spliced, all together: with the rest of a join, under 64 MB
// whatever the number of workers.
constexpr std::int64_t kEncodingBytes = std::int64_t{20} << 20;
// The first stretch's share of a full one.
constexpr std::int64_t kFirstStretchShare = 16;
// The least sound worth an encoder of its own: below it, fewer encoders.
constexpr std::int64_t kLeastStretchBytes = std::int64_t{3} << 19;
// The most frames taken from the window at once, so that its room comes
// back to the workers as the stretch grows.
constexpr std::int64_t kTakenAtOnce = kStretchWindowFrames / 8;

// A codec context that says what `codec` says of its stream, without its encoder.
MediaResult describeCodec(const AVCodecContext& codec, CodecContextPtr& described)
{
    described.reset(avcodec_alloc_context3(nullptr));
    AVCodecParameters* parameters = avcodec_parameters_alloc();
    MediaResult made = described && parameters ? result::kOk : result::kOutOfMemory;
    if (succeeded(made) && (avcodec_parameters_from_context(parameters, &codec) < 0 ||
                            avcodec_parameters_to_context(described.get(), parameters) < 0))
        made = result::kOutOfMemory;
    avcodec_parameters_free(&parameters);
    if (succeeded(made))
        described->time_base = codec.time_base;
    return made;
}

} // namespace

EncodedOutput::EncodedOutput(const OutputFormat& format, PartialFile file, std::int64_t windowFrames)
    : bytesPerFrame_(format.channels * format.bitsPerSample / 8), file_(std::move(file)),
      window_(bytesPerFrame_, windowFrames)
{
}

EncodedOutput::~EncodedOutput()
{
    discard();
}

MediaResult EncodedOutput::open(PartialFile partial, const OutputFormat& format,
                                std::unique_ptr<ContainerWriter> container,
                                std::unique_ptr<EncodedOutput>& output,
                                std::unique_ptr<StretchSplicer> splicer, int workers)
{
    // As many encoders as the workers, as far as the memory for them and
    // their stretches goes; never fewer than two.
    if (splicer)
        while (workers > 2 && workers * splicer->encoderBytes() + kLeastStretchBytes * (workers + 1) > kEncodingBytes)
            --workers;
    const bool inStretches = splicer && workers > 1;
    std::unique_ptr<EncodedOutput> made(
        new EncodedOutput(format, std::move(partial), inStretches ? kStretchWindowFrames : kWindowFrames));
    made->container_ = std::move(container);
    ContainerWriter& writer = *made->container_;
    made->format_ = format;
    made->setup_ = writer.encoderSetup();
    made->globalHeader_ = writer.wantsGlobalHeader();
    // This encoder makes the header; in stretches it encodes nothing.
    if (const MediaResult opened = AudioEncoder::open(
            format, writer.encoderSetup(), writer.wantsGlobalHeader(),
            [&writer](AVPacket& packet) { return writer.writePacket(packet); }, made->encoder_);
        failed(opened))
        return opened;
    if (const MediaResult written = writer.writeHeader(&made->encoder_->context()); failed(written))
        return written;
    EncodedOutput* self = made.get();
    if (inStretches) {
        // The encoders of the stretches do the encoding: the header's gives
        // its room back and leaves its description for the end.
        made->frameSize_ = made->encoder_->frameSize();
        if (const MediaResult described = describeCodec(made->encoder_->context(), made->described_);
            failed(described))
            return described;
        made->encoder_.reset();
        splicer->start(*made->described_);
        made->splicer_ = std::move(splicer);
        for (int i = 0; i < workers; ++i)
            made->stretchEncoders_.emplace_back([self] { self->runStretchEncoder(); });
        made->encoding_ = std::jthread([self] { self->encodeStretches(); });
    } else {
        made->encoding_ = std::jthread([self] { self->encodeWindow(); });
    }
    output = std::move(made);
    return result::kOk;
}

void EncodedOutput::encodeWindow()
{
    const int frameSize = encoder_->frameSize();
    std::vector<std::uint8_t> block(static_cast<std::size_t>(frameSize) *
                                    static_cast<std::size_t>(bytesPerFrame_));
    for (;;) {
        const std::int64_t frames = window_.waitReadable(frameSize);
        if (frames == 0)
            break;
        window_.read(block.data(), frames);
        if (const MediaResult encoded = encoder_->encode(block.data(), static_cast<int>(frames));
            failed(encoded)) {
            encodeResult_ = encoded;
            // The workers learn it at their next write and stop.
            window_.refuseWrites(encoded);
            return;
        }
        encodedFrames_ += frames;
    }
    encodeResult_ = encoder_->flush();
}

std::int64_t EncodedOutput::reach() const
{
    return window_.capacity();
}

std::int64_t EncodedOutput::takeFrames(std::vector<std::uint8_t>& into, std::int64_t frames,
                                       const std::function<bool()>& meanwhile)
{
    std::int64_t taken = 0;
    while (taken < frames && meanwhile()) {
        const std::int64_t ready = window_.waitReadable(std::min(frames - taken, kTakenAtOnce));
        if (ready == 0)
            break;
        const std::size_t at = into.size();
        into.resize(at + static_cast<std::size_t>(ready * bytesPerFrame_));
        window_.read(into.data() + at, ready);
        splicer_->takeSound(into.data() + at, ready);
        taken += ready;
    }
    return taken;
}

void EncodedOutput::encodeStretches()
{
    const MediaResult spliced = spliceStretches();
    if (failed(spliced)) {
        abandoned_ = true;
        // The workers learn it at their next write and stop.
        window_.refuseWrites(spliced);
    }
    {
        const std::lock_guard lock(jobsMutex_);
        noMoreJobs_ = true;
    }
    jobsChanged_.notify_all();
    encodeResult_ = spliced;
}

MediaResult EncodedOutput::spliceStretches()
{
    const int frameSize = frameSize_;
    const int held = static_cast<int>(stretchEncoders_.size()) + 1;
    const std::int64_t stretchFrames = splicer_->stretchFrames(
        frameSize, bytesPerFrame_, held,
        kEncodingBytes - static_cast<std::int64_t>(stretchEncoders_.size()) * splicer_->encoderBytes());
    const std::int64_t leadIn = splicer_->leadIn(frameSize);
    const std::int64_t leadOut = splicer_->leadOut(frameSize);
    const auto write = [this](AVPacket& packet) { return container_->writePacket(packet); };
    std::deque<std::shared_ptr<StretchJob>> inFlight; // in the join's order
    // The frames taken from the window past the last stretch cut, with its
    // last frames, which the next stretch's lead-in takes: [carriedFrom, taken).
    std::vector<std::uint8_t> carried;
    std::int64_t carriedFrom = 0;
    std::int64_t taken = 0;
    std::int64_t next = 0; // the first frame of the next stretch
    int cut = 0;           // stretches cut
    const std::int64_t firstStretchFrames =
        std::max<std::int64_t>(frameSize, stretchFrames / kFirstStretchShare / frameSize * frameSize);
    bool ended = false;
    const auto bytesOf = [this](std::int64_t frames) { return static_cast<std::ptrdiff_t>(frames * bytesPerFrame_); };
    // The stretches encoded from the first on go into the file while the
    // next stretch's sound comes, so that the partial file keeps up.
    MediaResult failure = result::kOk;
    const auto spliceOne = [&](const std::shared_ptr<StretchJob>& job) {
        if (failed(job->encoded))
            return job->encoded;
        if (const MediaResult spliced = splicer_->splice(job->stretch, write); failed(spliced))
            return spliced;
        encodedFrames_ = job->stretch.end;
        return result::kOk;
    };
    const std::function<bool()> spliceFinished = [&] {
        while (!inFlight.empty() && succeeded(failure)) {
            {
                const std::lock_guard lock(jobsMutex_);
                if (!inFlight.front()->done)
                    break;
            }
            failure = spliceOne(inFlight.front());
            inFlight.pop_front();
        }
        return succeeded(failure);
    };
    for (;;) {
        // Every encoder busy, and one more stretch ready for the first that is free.
        while (!ended && static_cast<int>(inFlight.size()) < held && !abandoned_) {
            auto job = std::make_shared<StretchJob>();
            EncodedStretch& stretch = job->stretch;
            stretch.first = next;
            stretch.frameSize = frameSize;
            stretch.encodedFrom = std::max<std::int64_t>(0, next - leadIn);
            // The first stretches are short and each twice the one before, so
            // that the file starts to fill soon after the join starts.
            const std::int64_t length = std::min(stretchFrames, firstStretchFrames << std::min(cut++, 16));
            const std::int64_t wantedEnd = next + length + leadOut;
            // The stretch's sound grows in place, from what the last one left.
            stretch.sound.reserve(static_cast<std::size_t>(bytesOf(wantedEnd - stretch.encodedFrom)));
            stretch.sound.assign(carried.begin() + bytesOf(stretch.encodedFrom - carriedFrom), carried.end());
            taken += takeFrames(stretch.sound, wantedEnd - taken, spliceFinished);
            if (failed(failure))
                return failure;
            if (taken < wantedEnd) {
                // The window is closed: this stretch ends the join.
                stretch.end = taken;
                stretch.last = true;
                ended = true;
            } else {
                stretch.end = next + length;
            }
            if (stretch.end <= stretch.first)
                break;
            next = stretch.end;
            carriedFrom = std::max(stretch.encodedFrom, next - leadIn);
            carried.assign(stretch.sound.begin() + bytesOf(carriedFrom - stretch.encodedFrom), stretch.sound.end());
            {
                const std::lock_guard lock(jobsMutex_);
                queued_.push_back(job);
            }
            jobsChanged_.notify_all();
            inFlight.push_back(std::move(job));
        }
        if (inFlight.empty() || abandoned_)
            break;
        std::shared_ptr<StretchJob> job = std::move(inFlight.front());
        inFlight.pop_front();
        {
            std::unique_lock lock(jobsMutex_);
            jobsChanged_.wait(lock, [&job] { return job->done; });
        }
        if (const MediaResult spliced = spliceOne(job); failed(spliced))
            return spliced;
    }
    if (abandoned_)
        return result::kStopped;
    return splicer_->finish(write);
}

void EncodedOutput::runStretchEncoder()
{
    std::unique_ptr<AudioEncoder> encoder; // kept from one stretch to the next where the codec allows
    std::vector<PacketPtr>* packets = nullptr;
    for (;;) {
        std::shared_ptr<StretchJob> job;
        {
            std::unique_lock lock(jobsMutex_);
            jobsChanged_.wait(lock, [this] { return noMoreJobs_ || !queued_.empty(); });
            if (queued_.empty())
                return;
            job = std::move(queued_.front());
            queued_.pop_front();
        }
        if (!splicer_->reusesEncoders())
            encoder.reset();
        packets = &job->stretch.packets;
        MediaResult encoded = abandoned_ ? result::kStopped : result::kOk;
        if (succeeded(encoded) && !encoder)
            encoded = AudioEncoder::open(format_, setup_, globalHeader_,
                                         [&packets](AVPacket& packet) {
                                             PacketPtr kept(av_packet_clone(&packet));
                                             if (!kept)
                                                 return result::kOutOfMemory;
                                             packets->push_back(std::move(kept));
                                             return result::kOk;
                                         },
                                         encoder);
        if (succeeded(encoded))
            encoded = encodeStretch(*encoder, job->stretch);
        {
            const std::lock_guard lock(jobsMutex_);
            job->encoded = encoded;
            job->done = true;
        }
        jobsChanged_.notify_all();
    }
}

MediaResult EncodedOutput::encodeStretch(AudioEncoder& encoder, EncodedStretch& stretch) const
{
    const std::int64_t frameBytes = std::int64_t{encoder.frameSize()} * bytesPerFrame_;
    const auto size = static_cast<std::int64_t>(stretch.sound.size());
    for (std::int64_t at = 0; at < size; at += frameBytes) {
        if (abandoned_)
            return result::kStopped;
        const std::int64_t bytes = std::min(frameBytes, size - at);
        if (const MediaResult encoded =
                encoder.encode(stretch.sound.data() + at, static_cast<int>(bytes / bytesPerFrame_));
            failed(encoded))
            return encoded;
    }
    std::vector<std::uint8_t>().swap(stretch.sound);
    // An encoder that goes on to other stretches has given all of this one's.
    return splicer_->reusesEncoders() && !stretch.last ? result::kOk : encoder.flush();
}

MediaResult EncodedOutput::writeFrames(std::int64_t frame, const void* data, std::int64_t frames)
{
    return window_.write(frame, data, frames);
}

MediaResult EncodedOutput::writeSilence(std::int64_t frame, std::int64_t frames,
                                        std::stop_token stop)
{
    if (stop.stop_requested())
        return result::kStopped;
    return window_.write(frame, nullptr, frames);
}

void EncodedOutput::cancelWrites()
{
    window_.refuseWrites(result::kStopped);
}

void EncodedOutput::stopEncoding()
{
    window_.refuseWrites(result::kStopped);
    if (encoding_.joinable())
        encoding_.join();
    {
        const std::lock_guard lock(jobsMutex_);
        noMoreJobs_ = true;
    }
    jobsChanged_.notify_all();
    for (std::jthread& encoder : stretchEncoders_)
        if (encoder.joinable())
            encoder.join();
}

MediaResult EncodedOutput::finish(std::int64_t frames)
{
    window_.closeAt(frames);
    stopEncoding();
    MediaResult ended = encodeResult_;
    if (succeeded(ended) && encodedFrames_ != frames)
        ended = result::kUnexpected;
    if (succeeded(ended))
        ended = container_->finish(encoder_ ? &encoder_->context() : described_.get(), frames);
    if (succeeded(ended))
        ended = commitPartialFile(file_);
    if (failed(ended))
        discardPartialFile(file_);
    settled_ = true;
    return ended;
}

void EncodedOutput::discard()
{
    if (encoding_.joinable()) {
        // Nothing more is taken: the encoding thread ends at once.
        abandoned_ = true;
        window_.closeAt(0);
        stopEncoding();
    }
    if (!settled_)
        discardPartialFile(file_);
    settled_ = true;
}

} // namespace kestrine

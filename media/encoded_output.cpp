// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/encoded_output.h"


namespace kestrine {
namespace {

// About twelve seconds of stereo 16-bit sound at 44,100 Hz: enough to keep
// the encoder fed across a source's opening, small beside any join.
constexpr std::int64_t kWindowFrames = std::int64_t{1} << 19;

} // namespace

EncodedOutput::EncodedOutput(const OutputFormat& format, PartialFile file)
    : bytesPerFrame_(format.channels * format.bitsPerSample / 8), file_(std::move(file)),
      window_(bytesPerFrame_, kWindowFrames)
{
}

EncodedOutput::~EncodedOutput()
{
    discard();
}

MediaResult EncodedOutput::open(PartialFile partial, const OutputFormat& format,
                                std::unique_ptr<ContainerWriter> container,
                                std::unique_ptr<EncodedOutput>& output)
{
    std::unique_ptr<EncodedOutput> made(new EncodedOutput(format, std::move(partial)));
    made->container_ = std::move(container);
    ContainerWriter& writer = *made->container_;
    if (const MediaResult opened = AudioEncoder::open(
            format, writer.encoderSetup(), writer.wantsGlobalHeader(),
            [&writer](AVPacket& packet) { return writer.writePacket(packet); }, made->encoder_);
        failed(opened))
        return opened;
    if (const MediaResult written = writer.writeHeader(&made->encoder_->context()); failed(written))
        return written;
    EncodedOutput* self = made.get();
    made->encoding_ = std::jthread([self] { self->encodeWindow(); });
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
    return kWindowFrames;
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
}

MediaResult EncodedOutput::finish(std::int64_t frames)
{
    window_.closeAt(frames);
    stopEncoding();
    MediaResult ended = encodeResult_;
    if (succeeded(ended) && encodedFrames_ != frames)
        ended = result::kUnexpected;
    if (succeeded(ended))
        ended = container_->finish(&encoder_->context(), frames);
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
        window_.closeAt(0);
        stopEncoding();
    }
    if (!settled_)
        discardPartialFile(file_);
    settled_ = true;
}

} // namespace kestrine

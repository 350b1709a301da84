// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/encoded_output.h"

#include "media/flac_file_writer.h"
#include "media/format_muxer.h"
#include "media/mp4_file_writer.h"

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

MediaResult EncodedOutput::create(const std::string& path, const OutputFormat& format,
                                  const std::vector<Marker>& markers, std::int64_t totalFrames,
                                  std::unique_ptr<EncodedOutput>& output)
{
    if (format.encoding == Encoding::Wav || format.bitsPerSample != 16)
        return result::kInvalidArgument;
    PartialFile partial;
    if (const MediaResult created = createPartialFile(path, partial); failed(created))
        return created;
    std::unique_ptr<EncodedOutput> made(new EncodedOutput(format, std::move(partial)));
    if (format.encoding == Encoding::Flac) {
        made->container_ = std::make_unique<FlacFileWriter>(made->file_.fd, format.sampleRate,
                                                            markers, totalFrames);
    } else if (format.encoding == Encoding::M4a) {
        made->container_ = std::make_unique<Mp4FileWriter>(made->file_.fd, markers);
    } else {
        std::unique_ptr<FormatMuxer> muxer;
        if (const MediaResult muxing = FormatMuxer::create(made->file_.fd, made->file_.target,
                                                           format, markers, totalFrames, muxer);
            failed(muxing))
            return muxing;
        made->container_ = std::move(muxer);
    }
    ContainerWriter& container = *made->container_;
    if (const MediaResult opened = AudioEncoder::open(
            format, container.wantsGlobalHeader(),
            [&container](AVPacket& packet) { return container.writePacket(packet); },
            made->encoder_);
        failed(opened))
        return opened;
    if (const MediaResult written = container.writeHeader(made->encoder_->context());
        failed(written))
        return written;
    EncodedOutput* self = made.get();
    made->encoding_ = std::jthread([self] { self->encodeWindow(); });
    output = std::move(made);
    return result::kOk;
}

void EncodedOutput::encodeWindow()
{
    const int frameSize = encoder_->frameSize();
    std::vector<std::int16_t> block(static_cast<std::size_t>(frameSize) *
                                    static_cast<std::size_t>(bytesPerFrame_) /
                                    sizeof(std::int16_t));
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
        ended = container_->writeTrailer(encoder_->context(), frames);
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

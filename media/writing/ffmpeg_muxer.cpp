// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/writing/ffmpeg_muxer.h"

#include "media/partial_file.h"
#include "media/utf8_text.h"

#include <sys/stat.h>

#include <cerrno>

namespace kestrine {
namespace {

constexpr int kIoBufferBytes = 64 * 1024;

} // namespace

MediaResult FfmpegMuxer::create(const char* muxer, int fd, const std::string& path,
                                std::unique_ptr<FfmpegMuxer>& made)
{
    std::unique_ptr<FfmpegMuxer> muxing(new FfmpegMuxer(fd));
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, muxer, nullptr) < 0 || !raw)
        return result::kNoEncoder;
    muxing->context_.reset(raw);
    av_freep(&raw->url);
    raw->url = av_strdup(path.c_str());
    if (!raw->url)
        return result::kOutOfMemory;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferBytes));
    if (!buffer)
        return result::kOutOfMemory;
    muxing->io_.reset(avio_alloc_context(buffer, kIoBufferBytes, 1, muxing.get(), nullptr,
                                         &FfmpegMuxer::writeBytes, &FfmpegMuxer::seekTo));
    if (!muxing->io_) {
        av_free(buffer);
        return result::kOutOfMemory;
    }
    raw->pb = muxing->io_.get();
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    muxing->stream_ = avformat_new_stream(raw, nullptr);
    if (!muxing->stream_)
        return result::kOutOfMemory;
    made = std::move(muxing);
    return result::kOk;
}

bool FfmpegMuxer::wantsGlobalHeader() const
{
    return (context_->oformat->flags & AVFMT_GLOBALHEADER) != 0;
}

MediaResult FfmpegMuxer::resultOf(int error) const
{
    if (failed(writeFailure_))
        return writeFailure_;
    return error == AVERROR(ENOMEM) ? result::kOutOfMemory : error;
}

MediaResult FfmpegMuxer::writeHeader(const AVCodecContext& codec, DictionaryPtr options)
{
    if (const int error = avcodec_parameters_from_context(stream_->codecpar, &codec); error < 0)
        return resultOf(error);
    stream_->time_base = codec.time_base;
    AVDictionary* given = options.release();
    keepingHeaders_ = true;
    const int error = avformat_write_header(context_.get(), &given);
    options.reset(given);
    avio_flush(io_.get());
    keepingHeaders_ = false;
    if (error < 0)
        return resultOf(error);
    return writeFailure_;
}

MediaResult FfmpegMuxer::writePacket(AVPacket& packet, int sampleRate)
{
    av_packet_rescale_ts(&packet, AVRational{1, sampleRate}, stream_->time_base);
    packet.stream_index = stream_->index;
    const int error = av_write_frame(context_.get(), &packet);
    return error < 0 ? resultOf(error) : result::kOk;
}

MediaResult FfmpegMuxer::writeTrailer()
{
    if (const int error = av_write_trailer(context_.get()); error < 0)
        return resultOf(error);
    avio_flush(io_.get());
    return writeFailure_;
}

#if LIBAVFORMAT_VERSION_MAJOR >= 61
int FfmpegMuxer::writeBytes(void* opaque, const std::uint8_t* data, int size)
#else
int FfmpegMuxer::writeBytes(void* opaque, std::uint8_t* data, int size)
#endif
{
    auto* self = static_cast<FfmpegMuxer*>(opaque);
    if (self->keepingHeaders_ && self->position_ == static_cast<std::int64_t>(self->headers_.size()))
        self->headers_.insert(self->headers_.end(), data, data + size);
    const MediaResult written = writeAll(self->fd_, data, static_cast<std::uint64_t>(size),
                                         static_cast<std::uint64_t>(self->position_));
    if (failed(written)) {
        if (succeeded(self->writeFailure_))
            self->writeFailure_ = written;
        return AVERROR(EIO);
    }
    self->position_ += size;
    return size;
}

std::int64_t FfmpegMuxer::seekTo(void* opaque, std::int64_t offset, int whence)
{
    auto* self = static_cast<FfmpegMuxer*>(opaque);
    struct stat status {};
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return ::fstat(self->fd_, &status) == 0 ? status.st_size : AVERROR(errno);
    case SEEK_SET:
        self->position_ = offset;
        break;
    case SEEK_CUR:
        self->position_ += offset;
        break;
    case SEEK_END:
        if (::fstat(self->fd_, &status) != 0)
            return AVERROR(errno);
        self->position_ = status.st_size + offset;
        break;
    default:
        return AVERROR(EINVAL);
    }
    return self->position_;
}

MediaResult addChapters(AVFormatContext& context, const std::vector<Marker>& markers,
                        int sampleRate, std::int64_t totalFrames)
{
    for (std::size_t i = 0; i < markers.size(); ++i) {
        ChapterPtr chapter(static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter))));
        if (!chapter)
            return result::kOutOfMemory;
        chapter->id = static_cast<std::int64_t>(i) + 1;
        chapter->time_base = AVRational{1, sampleRate};
        chapter->start = markers[i].frame;
        chapter->end = i + 1 < markers.size() ? markers[i + 1].frame : totalFrames;
        if (av_dict_set(&chapter->metadata, "title", validUtf8(markers[i].label).c_str(), 0) < 0)
            return result::kOutOfMemory;
        int count = static_cast<int>(context.nb_chapters);
        if (av_dynarray_add_nofree(&context.chapters, &count, chapter.get()) < 0)
            return result::kOutOfMemory;
        chapter.release(); // the context's now
        context.nb_chapters = static_cast<unsigned int>(count);
    }
    return result::kOk;
}

} // namespace kestrine

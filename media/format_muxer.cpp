// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/format_muxer.h"

#include "media/chapter_comments.h"
#include "media/partial_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

namespace kestrine {
namespace {

constexpr int kIoBufferBytes = 64 * 1024;

const char* muxerNameOf(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Mp3:
        return "mp3";
    case Encoding::Opus:
        return "opus";
    case Encoding::M4a:
        return "ipod"; // FFmpeg's MP4 flavour for .m4a
    case Encoding::Flac:
    case Encoding::Wav:
        break;
    }
    return nullptr;
}

} // namespace

FormatMuxer::FormatMuxer(int fd, const OutputFormat& format) : fd_(fd), format_(format) {}

FormatMuxer::~FormatMuxer()
{
    if (context_)
        context_->pb = nullptr; // ours, not a file FFmpeg opened
    if (io_) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
}

MediaResult FormatMuxer::create(int fd, const std::string& path, const OutputFormat& format,
                                const std::vector<Marker>& markers, std::int64_t totalFrames,
                                std::unique_ptr<FormatMuxer>& muxer)
{
    const char* name = muxerNameOf(format.encoding);
    if (!name)
        return result::kInvalidArgument;
    std::unique_ptr<FormatMuxer> made(new FormatMuxer(fd, format));
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, name, nullptr) < 0 || !raw)
        return result::kNoEncoder;
    made->context_.reset(raw);
    av_freep(&raw->url);
    raw->url = av_strdup(path.c_str());
    if (!raw->url)
        return result::kOutOfMemory;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferBytes));
    if (!buffer)
        return result::kOutOfMemory;
    made->io_ = avio_alloc_context(buffer, kIoBufferBytes, 1, made.get(), nullptr,
                                   &FormatMuxer::writeBytes, &FormatMuxer::seekTo);
    if (!made->io_) {
        av_free(buffer);
        return result::kOutOfMemory;
    }
    made->context_->pb = made->io_;
    made->context_->flags |= AVFMT_FLAG_CUSTOM_IO;
    made->stream_ = avformat_new_stream(made->context_.get(), nullptr);
    if (!made->stream_)
        return result::kOutOfMemory;
    if (format.encoding == Encoding::M4a) {
        made->lateMarkers_ = markers;
    } else if (const MediaResult added = made->addChapters(markers, totalFrames); failed(added)) {
        return added;
    }
    muxer = std::move(made);
    return result::kOk;
}

MediaResult FormatMuxer::addChapters(const std::vector<Marker>& markers, std::int64_t totalFrames)
{
    // FFmpeg's Ogg muxer rounds a chapter's whole seconds up from the half
    // second, so the comments are written here, exact to the millisecond.
    if (format_.encoding == Encoding::Opus) {
        for (const auto& [key, value] : chapterComments(markers, format_.sampleRate))
            if (av_dict_set(&stream_->metadata, key.c_str(), value.c_str(), 0) < 0)
                return result::kOutOfMemory;
        return result::kOk;
    }
    for (std::size_t i = 0; i < markers.size(); ++i) {
        auto* chapter = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (!chapter)
            return result::kOutOfMemory;
        chapter->id = static_cast<std::int64_t>(i) + 1;
        chapter->time_base = AVRational{1, format_.sampleRate};
        chapter->start = markers[i].frame;
        chapter->end = i + 1 < markers.size() ? markers[i + 1].frame : totalFrames;
        int count = static_cast<int>(context_->nb_chapters);
        if (av_dict_set(&chapter->metadata, "title", markers[i].label.c_str(), 0) < 0 ||
            av_dynarray_add_nofree(&context_->chapters, &count, chapter) < 0) {
            av_dict_free(&chapter->metadata);
            av_free(chapter);
            return result::kOutOfMemory;
        }
        context_->nb_chapters = static_cast<unsigned int>(count);
    }
    return result::kOk;
}

bool FormatMuxer::wantsGlobalHeader() const
{
    return (context_->oformat->flags & AVFMT_GLOBALHEADER) != 0;
}

MediaResult FormatMuxer::resultOf(int error) const
{
    if (failed(writeFailure_))
        return writeFailure_;
    return error == AVERROR(ENOMEM) ? result::kOutOfMemory : error;
}

MediaResult FormatMuxer::writeHeader(const AVCodecContext& codec)
{
    if (const int error = avcodec_parameters_from_context(stream_->codecpar, &codec); error < 0)
        return resultOf(error);
    stream_->time_base = codec.time_base;
    AVDictionary* options = nullptr;
    // A movie time scale of the sample rate makes the edit list, which
    // trims the encoder's priming and padding, exact to the sample.
    if (format_.encoding == Encoding::M4a)
        av_dict_set_int(&options, "movie_timescale", format_.sampleRate, 0);
    const int error = avformat_write_header(context_.get(), &options);
    av_dict_free(&options);
    return error < 0 ? resultOf(error) : result::kOk;
}

MediaResult FormatMuxer::writePacket(AVPacket& packet)
{
    av_packet_rescale_ts(&packet, AVRational{1, format_.sampleRate}, stream_->time_base);
    packet.stream_index = stream_->index;
    const int error = av_write_frame(context_.get(), &packet);
    return error < 0 ? resultOf(error) : result::kOk;
}

MediaResult FormatMuxer::writeTrailer(const AVCodecContext&, std::int64_t frames)
{
    std::vector<Marker> reached;
    for (const Marker& marker : lateMarkers_)
        if (marker.frame < frames)
            reached.push_back(marker);
    if (const MediaResult added = addChapters(reached, frames); failed(added))
        return added;
    if (const int error = av_write_trailer(context_.get()); error < 0)
        return resultOf(error);
    avio_flush(io_);
    return failed(writeFailure_) ? writeFailure_ : result::kOk;
}

#if LIBAVFORMAT_VERSION_MAJOR >= 61
int FormatMuxer::writeBytes(void* opaque, const std::uint8_t* data, int size)
#else
int FormatMuxer::writeBytes(void* opaque, std::uint8_t* data, int size)
#endif
{
    auto* self = static_cast<FormatMuxer*>(opaque);
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

std::int64_t FormatMuxer::seekTo(void* opaque, std::int64_t offset, int whence)
{
    auto* self = static_cast<FormatMuxer*>(opaque);
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

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/format_muxer.h"

#include "media/chapter_comments.h"
#include "media/early_chapters.h"
#include "media/partial_file.h"
#include "media/utf8_text.h"

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

// The markers as chapters of the file `context` will write, each to the next
// one's start and the last to `totalFrames`.
MediaResult addChapters(AVFormatContext& context, AVStream& stream, const OutputFormat& format,
                        const std::vector<Marker>& markers, std::int64_t totalFrames)
{
    // FFmpeg's Ogg muxer rounds a chapter's whole seconds up from the half
    // second, so the comments are written here, exact to the millisecond.
    if (format.encoding == Encoding::Opus) {
        for (const auto& [key, value] : chapterComments(markers, format.sampleRate))
            if (av_dict_set(&stream.metadata, key.c_str(), value.c_str(), 0) < 0)
                return result::kOutOfMemory;
        return result::kOk;
    }
    for (std::size_t i = 0; i < markers.size(); ++i) {
        auto* chapter = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
        if (!chapter)
            return result::kOutOfMemory;
        chapter->id = static_cast<std::int64_t>(i) + 1;
        chapter->time_base = AVRational{1, format.sampleRate};
        chapter->start = markers[i].frame;
        chapter->end = i + 1 < markers.size() ? markers[i + 1].frame : totalFrames;
        int count = static_cast<int>(context.nb_chapters);
        if (av_dict_set(&chapter->metadata, "title", validUtf8(markers[i].label).c_str(), 0) < 0 ||
            av_dynarray_add_nofree(&context.chapters, &count, chapter) < 0) {
            av_dict_free(&chapter->metadata);
            av_free(chapter);
            return result::kOutOfMemory;
        }
        context.nb_chapters = static_cast<unsigned int>(count);
    }
    return result::kOk;
}

} // namespace

FormatMuxer::FormatMuxer(int fd, const OutputFormat& format, const std::vector<Marker>& markers)
    : fd_(fd), format_(format), markers_(markers)
{
}

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
    std::unique_ptr<FormatMuxer> made(new FormatMuxer(fd, format, markers));
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
    // An MP4 file's chapters go in with its index at the end; MP3 and Ogg
    // carry theirs before the sound.
    if (format.encoding != Encoding::M4a) {
        const MediaResult added =
            addChapters(*made->context_, *made->stream_, format, markers, totalFrames);
        if (failed(added))
            return added;
    }
    muxer = std::move(made);
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

AVDictionary* FormatMuxer::headerOptions() const
{
    AVDictionary* options = nullptr;
    // A movie time scale of the sample rate makes the edit list, which
    // trims the encoder's priming and padding, exact to the sample.
    if (format_.encoding == Encoding::M4a)
        av_dict_set_int(&options, "movie_timescale", format_.sampleRate, 0);
    // ID3v2.3 gives a chapter's title frame a plain size; FFmpeg's reader,
    // among others, misreads the 2.4 form from 128 bytes on and drops the chapter.
    if (format_.encoding == Encoding::Mp3)
        av_dict_set_int(&options, "id3v2_version", 3, 0);
    return options;
}

MediaResult FormatMuxer::writeHeader(const AVCodecContext& codec)
{
    if (const int error = avcodec_parameters_from_context(stream_->codecpar, &codec); error < 0)
        return resultOf(error);
    stream_->time_base = codec.time_base;
    AVDictionary* options = headerOptions();
    keepingHeaders_ = true;
    const int error = avformat_write_header(context_.get(), &options);
    av_dict_free(&options);
    avio_flush(io_);
    keepingHeaders_ = false;
    if (error < 0)
        return resultOf(error);
    if (failed(writeFailure_))
        return writeFailure_;
    return leaveOutEarlyChapters();
}

MediaResult FormatMuxer::leaveOutEarlyChapters()
{
    if (markers_.empty())
        return result::kOk;
    switch (format_.encoding) {
    case Encoding::Mp3: {
        std::vector<std::uint8_t> tag;
        if (const MediaResult made = id3TagWith({}, 0, tag); failed(made))
            return made;
        return replaceId3Tag(fd_, tag);
    }
    case Encoding::Opus:
        return keepOpusChapters(fd_, 0);
    case Encoding::M4a: // its chapters go in with the index at the end
    case Encoding::Flac:
    case Encoding::Wav:
        break;
    }
    return result::kOk;
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
    const std::vector<Marker> reached = markersReached(markers_, frames);
    if (format_.encoding == Encoding::M4a) {
        const MediaResult added = addChapters(*context_, *stream_, format_, reached, frames);
        if (failed(added))
            return added;
    }
    if (const int error = av_write_trailer(context_.get()); error < 0)
        return resultOf(error);
    avio_flush(io_);
    if (failed(writeFailure_))
        return writeFailure_;
    if (markers_.empty())
        return result::kOk;
    // The chapters written before the sound name the sources reached, and
    // none runs past its end.
    switch (format_.encoding) {
    case Encoding::Mp3: {
        std::vector<std::uint8_t> tag;
        if (const MediaResult made = id3TagWith(reached, frames, tag); failed(made))
            return made;
        return replaceId3Tag(fd_, tag);
    }
    case Encoding::Opus:
        if (const MediaResult written = writeAll(fd_, headers_.data(), headers_.size(), 0);
            failed(written))
            return written;
        return keepOpusChapters(fd_, reached.size());
    case Encoding::M4a:
    case Encoding::Flac:
    case Encoding::Wav:
        break;
    }
    return result::kOk;
}

MediaResult FormatMuxer::id3TagWith(const std::vector<Marker>& markers, std::int64_t frames,
                                    std::vector<std::uint8_t>& tag) const
{
    // FFmpeg's MP3 muxer writes only the tag when its output cannot seek.
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "mp3", nullptr) < 0 || !raw)
        return result::kNoEncoder;
    const OutputFormatPtr context(raw);
    AVStream* stream = avformat_new_stream(raw, nullptr);
    if (!stream)
        return result::kOutOfMemory;
    if (const int error = avcodec_parameters_copy(stream->codecpar, stream_->codecpar); error < 0)
        return resultOf(error);
    stream->time_base = stream_->time_base;
    if (const MediaResult added = addChapters(*raw, *stream, format_, markers, frames);
        failed(added))
        return added;
    if (avio_open_dyn_buf(&raw->pb) < 0)
        return result::kOutOfMemory;
    AVDictionary* options = headerOptions();
    const int error = avformat_write_header(raw, &options);
    av_dict_free(&options);
    std::uint8_t* bytes = nullptr;
    const int size = avio_close_dyn_buf(raw->pb, &bytes);
    raw->pb = nullptr;
    if (error >= 0 && size > 0)
        tag.assign(bytes, bytes + size);
    av_free(bytes);
    if (error < 0)
        return resultOf(error);
    return size > 0 ? result::kOk : result::kOutOfMemory;
}

#if LIBAVFORMAT_VERSION_MAJOR >= 61
int FormatMuxer::writeBytes(void* opaque, const std::uint8_t* data, int size)
#else
int FormatMuxer::writeBytes(void* opaque, std::uint8_t* data, int size)
#endif
{
    auto* self = static_cast<FormatMuxer*>(opaque);
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

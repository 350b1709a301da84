// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <cstdint>
#include <memory>

// FFmpeg's headers are C; they enter the program here and nowhere else.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/base64.h>
#include <libavutil/channel_layout.h>
#include <libavutil/crc.h>
#include <libavutil/intreadwrite.h>
#include <libavutil/md5.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace kestrine {

// Every FFmpeg handle has one owner; these deleters make it a unique_ptr.
struct InputFormatDeleter {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
// An output's I/O is closed with it, unless it was given: that one has an
// owner of its own.
struct OutputFormatDeleter {
    void operator()(AVFormatContext* context) const
    {
        if (context && context->pb && !(context->flags & AVFMT_FLAG_CUSTOM_IO) &&
            !(context->oformat->flags & AVFMT_NOFILE))
            avio_closep(&context->pb);
        avformat_free_context(context);
    }
};
// An I/O context of our own callbacks, with the buffer it was given.
struct IoContextDeleter {
    void operator()(AVIOContext* io) const
    {
        if (io)
            av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
// An I/O context that collects what is written in memory.
struct DynamicBufferDeleter {
    void operator()(AVIOContext* io) const
    {
        std::uint8_t* bytes = nullptr;
        avio_close_dyn_buf(io, &bytes);
        av_free(bytes);
    }
};
struct ChapterDeleter {
    void operator()(AVChapter* chapter) const
    {
        if (chapter)
            av_dict_free(&chapter->metadata);
        av_free(chapter);
    }
};
struct DictionaryDeleter {
    void operator()(AVDictionary* dictionary) const { av_dict_free(&dictionary); }
};
struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ResamplerDeleter {
    void operator()(SwrContext* context) const { swr_free(&context); }
};

using InputFormatPtr = std::unique_ptr<AVFormatContext, InputFormatDeleter>;
using OutputFormatPtr = std::unique_ptr<AVFormatContext, OutputFormatDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerDeleter>;
using IoContextPtr = std::unique_ptr<AVIOContext, IoContextDeleter>;
using DynamicBufferPtr = std::unique_ptr<AVIOContext, DynamicBufferDeleter>;
using ChapterPtr = std::unique_ptr<AVChapter, ChapterDeleter>;
using DictionaryPtr = std::unique_ptr<AVDictionary, DictionaryDeleter>;

} // namespace kestrine

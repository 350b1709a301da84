// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/ffmpeg.h"
#include "media/markers.h"
#include "media/output_tags.h"
#include "output/framework/media_result.h"

#include <cstdint>
#include <vector>

namespace kestrine {

// The encoder whose packets a container stores, set up as that container's
// files are made; an empty codec name means none: the container stores the
// render's PCM itself.
struct EncoderSetup {
    const char* codec = nullptr; // FFmpeg's encoder name
    std::int64_t bitRate = 0;    // 0: the encoder's own choice
    int vbrQuality = -1;         // LAME's -V scale; -1: none
    bool empty() const { return codec == nullptr; }
};

// One output container: its header, tags and chapters, how the sound goes in
// and what it rewrites when the join ends, complete or stopped. One class per
// container, each made by makeContainerWriter alone. The sound goes in one
// of two ways: an encoder's packets in order (FLAC, MP3, MP4, Ogg), or the
// render's 16-bit frames at their own place, from any thread (WAV, AIFF).
class ContainerWriter {
public:
    virtual ~ContainerWriter() = default;
    ContainerWriter(const ContainerWriter&) = delete;
    ContainerWriter& operator=(const ContainerWriter&) = delete;

    // The encoder the container takes; empty for PCM.
    virtual EncoderSetup encoderSetup() const { return {}; }
    // Whether the container wants the codec's setup in extradata.
    virtual bool wantsGlobalHeader() const { return false; }

    // Starts the file; `codec` is the opened encoder, null for PCM. A
    // partial file names no source as a chapter: those go in at the end.
    virtual MediaResult writeHeader(const AVCodecContext* codec) = 0;
    // An encoder's packet, timestamps in 1/rate.
    virtual MediaResult writePacket(AVPacket& packet);

    // PCM: `frames` of the render's frames at frame `frame`, thread-safe.
    virtual MediaResult writeFrames(std::int64_t frame, const std::uint8_t* data,
                                    std::int64_t frames);
    // PCM: the file's descriptor when it holds the render's frames byte for
    // byte from offsetOfFrame(0) on, so a source can be copied in by the
    // kernel; -1 otherwise.
    virtual int descriptor() const { return -1; }
    virtual std::uint64_t offsetOfFrame(std::int64_t frame) const;
    // PCM: makes the header claim the first `frames` frames, which are on the disk.
    virtual MediaResult claim(std::int64_t /*frames*/) { return result::kOk; }

    // Ends the file holding its first `frames` frames, with the markers of
    // the sources they reach. `codec` as for writeHeader, flushed.
    MediaResult finish(const AVCodecContext* codec, std::int64_t frames);

protected:
    explicit ContainerWriter(std::vector<Marker> markers, OutputTags tags = {})
        : markers_(std::move(markers)), tags_(std::move(tags))
    {
    }

    // Every marker of the join, as planned.
    const std::vector<Marker>& markers() const { return markers_; }
    // What the file says about the join: the same from its start to its end.
    const OutputTags& tags() const { return tags_; }
    virtual MediaResult writeTrailer(const AVCodecContext* codec, std::int64_t frames,
                                     const std::vector<Marker>& kept) = 0;

private:
    std::vector<Marker> markers_;
    OutputTags tags_;
};

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/writing/wav_writer.h"

#include "media/partial_file.h"
#include "media/wav_header.h"
#include "media/writing/id3_tag.h"

#include <unistd.h>

#include <cerrno>

namespace kestrine {

WavWriter::WavWriter(int fd, const OutputFormat& format, std::vector<Marker> markers, OutputTags tags)
    : ContainerWriter(std::move(markers), std::move(tags)), fd_(fd), format_(format),
      bytesPerFrame_(static_cast<std::uint64_t>(format.channels * format.bitsPerSample / 8))
{
}

MediaResult WavWriter::writeHeader(const AVCodecContext*)
{
    static constexpr std::uint8_t kBlankHeader[kWavHeaderSize] = {};
    return writeAll(fd_, kBlankHeader, kWavHeaderSize, 0);
}

std::uint64_t WavWriter::offsetOfFrame(std::int64_t frame) const
{
    return kWavHeaderSize + static_cast<std::uint64_t>(frame) * bytesPerFrame_;
}

MediaResult WavWriter::writeFrames(std::int64_t frame, const std::uint8_t* data, std::int64_t frames)
{
    return writeAll(fd_, data, static_cast<std::uint64_t>(frames) * bytesPerFrame_,
                    offsetOfFrame(frame));
}

MediaResult WavWriter::writeWavHeader(std::int64_t frames, std::uint64_t trailerBytes)
{
    const WavHeader header =
        buildWavHeader(format_, offsetOfFrame(frames) - kWavHeaderSize, trailerBytes);
    return writeAll(fd_, header.data(), header.size(), 0);
}

MediaResult WavWriter::claim(std::int64_t frames)
{
    return writeWavHeader(frames, 0);
}

MediaResult WavWriter::writeTrailer(const AVCodecContext*, std::int64_t frames,
                                    const std::vector<Marker>& kept)
{
    if (::ftruncate(fd_, static_cast<off_t>(offsetOfFrame(frames))) != 0 && errno != EINVAL)
        return resultOfWriteError(errno);
    // The markers go after the data, which never moves, and the header that
    // counts them comes last: until then it still claims only the data.
    std::vector<std::uint8_t> trailer = wavTrailer(kept);
    if (!tags().empty()) {
        // The id3 chunk holds the cover. Its text would repeat the INFO
        // chunk's, which FFmpeg then discards with a warning.
        std::vector<std::uint8_t> id3;
        if (!tags().cover.empty())
            if (const MediaResult made = id3TagOf(OutputTags{{}, tags().cover, {}}, {}, format_.sampleRate, 0, nullptr, id3);
                failed(made))
                return made;
        appendWavTagChunks(trailer, tags(), id3);
    }
    if (!trailer.empty()) {
        const std::uint64_t at = wavTrailerOffset(offsetOfFrame(frames) - kWavHeaderSize);
        if (const MediaResult written = writeAll(fd_, trailer.data(), trailer.size(), at);
            failed(written))
            return written;
    }
    return writeWavHeader(frames, trailer.size());
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/writing/container_factory.h"

#include "media/copying/aac_join_copier.h"
#include "media/copying/copy_road.h"
#include "media/copying/flac_copier.h"
#include "media/copying/mp3_join_copier.h"
#include "media/encoded_output.h"
#include "media/encoding/flac_stretch_splicer.h"
#include "media/encoding/mp3_stretch_splicer.h"
#include "media/output_file.h"
#include "media/partial_file.h"
#include "media/writing/aiff_writer.h"
#include "media/writing/flac_writer.h"
#include "media/writing/mp3_writer.h"
#include "media/writing/mp4_writer.h"
#include "media/writing/ogg_opus_writer.h"
#include "media/writing/wav_writer.h"
#include "output/framework/worker_pool.h"

namespace kestrine {

MediaResult makeContainerWriter(const OutputFormat& format, int fd, const std::string& path,
                                std::vector<Marker> markers, std::int64_t totalFrames,
                                std::unique_ptr<ContainerWriter>& writer, OutputTags tags)
{
    // 24 bits only where the container keeps them; the encoders take mono and stereo.
    const bool keepsBits =
        format.encoding == Encoding::Wav || format.encoding == Encoding::Flac || format.encoding == Encoding::Aiff;
    if (format.bitsPerSample != 16 && !(keepsBits && format.bitsPerSample == 24))
        return result::kInvalidArgument;
    if (format.encoding != Encoding::Wav && format.encoding != Encoding::Aiff && format.channels != 1 &&
        format.channels != 2)
        return result::kInvalidArgument;
    switch (format.encoding) {
    case Encoding::Wav:
        writer = std::make_unique<WavWriter>(fd, format, std::move(markers), std::move(tags));
        return result::kOk;
    case Encoding::Flac:
        writer = std::make_unique<FlacWriter>(fd, format.sampleRate, std::move(markers), totalFrames,
                                              std::move(tags));
        return result::kOk;
    case Encoding::Mp3:
        return Mp3Writer::create(fd, path, format.sampleRate, std::move(markers), totalFrames, writer,
                                 std::move(tags));
    case Encoding::M4a:
        writer = std::make_unique<Mp4Writer>(fd, std::move(markers), Mp4Writer::Brand::Music, std::move(tags));
        return result::kOk;
    case Encoding::M4b:
        writer = std::make_unique<Mp4Writer>(fd, std::move(markers), Mp4Writer::Brand::Audiobook,
                                             std::move(tags));
        return result::kOk;
    case Encoding::Opus:
        return OggOpusWriter::create(fd, path, format.sampleRate, std::move(markers), writer, std::move(tags));
    case Encoding::Aiff:
        writer = std::make_unique<AiffWriter>(fd, format, std::move(markers), totalFrames, std::move(tags));
        return result::kOk;
    }
    return result::kInvalidArgument;
}

std::unique_ptr<JoinCopier> makeJoinCopier(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Flac:
        return std::make_unique<FrameByFrameCopier>(std::make_unique<FlacCopier>());
    case Encoding::Mp3:
        return std::make_unique<Mp3JoinCopier>();
    case Encoding::M4a:
    case Encoding::M4b:
        return std::make_unique<AacJoinCopier>();
    case Encoding::Wav:
    case Encoding::Opus:
    case Encoding::Aiff:
        break;
    }
    return nullptr;
}

namespace {

// More encoders than this gain nothing on a join: the decoding keeps the rest of the cores.
constexpr std::size_t kMostStretchEncoders = 16;

} // namespace

std::unique_ptr<StretchSplicer> makeStretchSplicer(const OutputFormat& format)
{
    switch (format.encoding) {
    case Encoding::Flac:
        return std::make_unique<FlacStretchSplicer>(format.channels * format.bitsPerSample / 8);
    case Encoding::Mp3:
        return std::make_unique<Mp3StretchSplicer>();
    // AAC and Opus frames lean on the ones before them beyond what a
    // lead-in restores: one encoder keeps them seamless.
    case Encoding::Wav:
    case Encoding::M4a:
    case Encoding::M4b:
    case Encoding::Opus:
    case Encoding::Aiff:
        break;
    }
    return nullptr;
}

MediaResult createOutputSink(const RenderPlan& plan, const std::string& path,
                             std::unique_ptr<OutputSink>& sink, int workers)
{
    PartialFile partial;
    if (const MediaResult created = createPartialFile(path, partial); failed(created))
        return created;
    std::unique_ptr<ContainerWriter> writer;
    if (const MediaResult made = makeContainerWriter(plan.format, partial.fd, partial.target,
                                                     markersOf(plan), plan.totalFrames, writer, plan.tags);
        failed(made)) {
        discardPartialFile(partial);
        return made;
    }
    if (writer->encoderSetup().empty()) {
        std::unique_ptr<OutputFile> file;
        const MediaResult opened =
            OutputFile::open(std::move(partial), plan.format, std::move(writer), plan.totalFrames, file);
        sink = std::move(file);
        return opened;
    }
    std::unique_ptr<EncodedOutput> encoded;
    const MediaResult opened =
        EncodedOutput::open(std::move(partial), plan.format, std::move(writer), encoded,
                            makeStretchSplicer(plan.format), workerCount(kMostStretchEncoders, workers));
    sink = std::move(encoded);
    return opened;
}

} // namespace kestrine

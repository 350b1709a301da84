// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/container_writer.h"
#include "media/markers.h"
#include "media/output_sink.h"
#include "media/partial_file.h"
#include "media/render_plan.h"
#include "output/framework/media_result.h"

#include <cstdint>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

namespace kestrine {

// The file a render writes when its container stores the render's PCM as
// it is (WAV). Workers write their own ranges with positioned writes into a
// partial file beside the output; the container's header only ever claims
// frames that are complete from the start and already on the disk, so a
// join that is killed leaves a file that tells the truth. The finished file
// takes the output's place in one step, so whatever stood there stays whole
// until then.
class OutputFile final : public OutputSink {
public:
    // Creates the partial file for `path` in the container of `format`, which
    // must be one of PCM, with the markers it carries once finished.
    // result::kCannotCreateOutput or result::kDiskFull when that fails, and
    // then no file is left behind.
    static MediaResult create(const std::string& path, const OutputFormat& format,
                              std::int64_t totalFrames, std::unique_ptr<OutputFile>& file,
                              std::vector<Marker> markers = {});
    // Around a partial file and the PCM container writer made for it; the
    // partial file is removed when this fails.
    static MediaResult open(PartialFile partial, const OutputFormat& format,
                            std::unique_ptr<ContainerWriter> writer, std::int64_t totalFrames,
                            std::unique_ptr<OutputFile>& file);
    // A partial file neither finished nor discarded stays, header and all.
    ~OutputFile() override;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    int bytesPerFrame() const override { return bytesPerFrame_; }
    int descriptor() const override { return writer_->descriptor(); }
    std::uint64_t offsetOfFrame(std::int64_t frame) const override;

    MediaResult writeFrames(std::int64_t frame, const void* data, std::int64_t frames) override;
    MediaResult writeSilence(std::int64_t frame, std::int64_t frames, std::stop_token stop = {}) override;

    // Makes the header claim the first `frames` frames once they are on the
    // disk. From one thread at a time; a claim never shrinks.
    MediaResult claim(std::int64_t frames) override;

    // Cuts the partial file to its first `frames` frames, adds the markers
    // that fall inside them, makes the header say so and puts the file in the
    // output's place. result::kOutputLost when the partial file or its folder
    // was removed meanwhile.
    MediaResult finish(std::int64_t frames) override;

    // Removes the partial file; whatever stood at the output path stays.
    void discard() override;

private:
    OutputFile(PartialFile file, const OutputFormat& format, std::unique_ptr<ContainerWriter> writer);

    PartialFile file_;
    std::unique_ptr<ContainerWriter> writer_;
    int bytesPerFrame_ = 0;
    std::int64_t claimed_ = 0;
};

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/audio_encoder.h"
#include "media/container_writer.h"
#include "media/encoding/stretch_splicer.h"
#include "media/output_sink.h"
#include "media/partial_file.h"
#include "media/pcm_window.h"
#include "media/render_plan.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kestrine {

// An output file whose container stores an encoder's packets (FLAC, MP3,
// Opus, M4A). The workers write into a
// bounded window of frames; one thread of its own takes what is complete
// from the start, in order, and feeds the encoder and the container, which
// write a partial file beside the output. With a splicer for the codec and
// more than one worker, that thread cuts the sound into stretches instead,
// which encoders on threads of their own make at once, and hands their
// packets to the splicer in order, which joins them into the stream one
// encoder would have made. Finishing ends the container with the frames
// given and puts the file in the output's place in one step.
class EncodedOutput final : public OutputSink {
public:
    // Around a partial file and the container writer made for it, with the
    // encoder that container takes. result::kNoEncoder when this FFmpeg
    // lacks the encoder; the partial file is removed when this fails.
    // `splicer`, when there is one, and `workers` above one: the stretches
    // are encoded on that many threads.
    static MediaResult open(PartialFile partial, const OutputFormat& format,
                            std::unique_ptr<ContainerWriter> container,
                            std::unique_ptr<EncodedOutput>& output,
                            std::unique_ptr<StretchSplicer> splicer = nullptr, int workers = 1);
    // An output neither finished nor discarded is discarded.
    ~EncodedOutput() override;
    EncodedOutput(const EncodedOutput&) = delete;
    EncodedOutput& operator=(const EncodedOutput&) = delete;

    int bytesPerFrame() const override { return bytesPerFrame_; }
    MediaResult writeFrames(std::int64_t frame, const void* data, std::int64_t frames) override;
    MediaResult writeSilence(std::int64_t frame, std::int64_t frames,
                             std::stop_token stop = {}) override;
    std::int64_t reach() const override;
    // Writers that wait for room, and later ones, answer result::kStopped.
    void cancelWrites() override;

    // Encodes the first `frames` frames, which must be complete, ends the
    // container and puts the file in the output's place. When the encoder or
    // the disk failed on the way, the partial file is removed instead and the
    // failure told.
    MediaResult finish(std::int64_t frames) override;
    // Removes the partial file; whatever stood at the output path stays.
    void discard() override;

private:
    struct StretchJob {
        EncodedStretch stretch;
        MediaResult encoded = result::kOk;
        bool done = false;
    };

    EncodedOutput(const OutputFormat& format, PartialFile file, std::int64_t windowFrames);
    void encodeWindow();
    void encodeStretches();
    MediaResult spliceStretches();
    // Appends up to `frames` frames from the window to `into`, calling
    // `meanwhile` between parts; stops early when it answers false.
    std::int64_t takeFrames(std::vector<std::uint8_t>& into, std::int64_t frames,
                            const std::function<bool()>& meanwhile);
    void runStretchEncoder();
    MediaResult encodeStretch(AudioEncoder& encoder, EncodedStretch& stretch) const;
    void stopEncoding();

    int bytesPerFrame_;
    PartialFile file_;
    PcmWindow window_;
    std::unique_ptr<ContainerWriter> container_;
    std::unique_ptr<AudioEncoder> encoder_;
    MediaResult encodeResult_ = result::kOk; // the encoding thread's, read once it has ended
    std::int64_t encodedFrames_ = 0;
    bool settled_ = false; // finished or discarded

    // Encoding in stretches.
    OutputFormat format_;
    EncoderSetup setup_;
    bool globalHeader_ = false;
    std::unique_ptr<StretchSplicer> splicer_;
    int frameSize_ = 0;
    CodecContextPtr described_; // the header's encoder, once stretches do the encoding
    std::mutex jobsMutex_;
    std::condition_variable jobsChanged_;
    std::deque<std::shared_ptr<StretchJob>> queued_; // for the next free encoder
    bool noMoreJobs_ = false;
    std::atomic<bool> abandoned_{false}; // discarded, or failed: no stretch is worth finishing
    std::vector<std::jthread> stretchEncoders_;

    std::jthread encoding_;
};

} // namespace kestrine

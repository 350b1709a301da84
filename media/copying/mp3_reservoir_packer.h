// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "media/copying/mp3_frame_header.h"
#include "output/framework/media_result.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

namespace kestrine {

// One Layer III frame taken out of its own stream: its bytes there and the
// main data it decodes, which may have begun in the frames before it.
struct Mp3StreamFrame {
    std::vector<std::uint8_t> bytes; // the whole frame as its stream has it
    Mp3FrameHeader header;
    std::vector<std::uint8_t> mainData;
    int begin = 0; // its main_data_begin there
};

// Takes out the frames of one MP3 stream, in order, with their main data.
// The bytes a frame points back to lie in the slots of the frames given
// before it, or in `reservoir` given at the start (the slots' last bytes
// before the first frame given, when the stream is taken up in its middle).
class Mp3MainDataReader {
public:
    explicit Mp3MainDataReader(std::vector<std::uint8_t> reservoir = {});
    // False when the bytes are no frame, or its main data lies out of reach.
    bool read(const std::uint8_t* bytes, int size, Mp3StreamFrame& frame);

private:
    std::vector<std::uint8_t> slots_; // the last slot bytes seen, at most a reservoir's worth
};

// Lays frames of several streams, one after another, into one stream whose
// bit reservoir holds together: each frame's main data goes where its own
// stream had it, just before or in its slot, when the frames before leave
// that room free; otherwise the frame before it takes a higher bit rate for
// the room, or, at the highest, the frame's main data starts later, and the
// frame itself takes a higher bit rate when that leaves its slot too small. Frames that need nothing of the sort come
// out byte for byte as given. Frames come out in order, once no later frame
// can place data in them.
class Mp3ReservoirPacker {
public:
    using FrameHandler = std::function<MediaResult(const std::uint8_t* bytes, int size)>;
    explicit Mp3ReservoirPacker(FrameHandler handler);

    // result::kFalse when no bit rate gives the frame's main data the room.
    MediaResult add(Mp3StreamFrame frame);
    // Hands out the frames still held.
    MediaResult flush();
    // Frames that took a higher bit rate than their stream gave them.
    std::int64_t raisedFrames() const { return raised_; }

private:
    struct Placed {
        Mp3StreamFrame frame;
        Mp3FrameHeader header; // as it goes out
        std::int64_t slotStart = 0;
        std::int64_t dataStart = 0;
        bool raised = false;
        bool inPlace = false; // its main data where its own stream had it
    };
    // Places the held frames from the first on; the index of the first that
    // finds no room, or held_.size().
    std::size_t layOut();
    bool raise(Placed& placed);
    MediaResult emit(Placed& placed);
    MediaResult emitSettled();

    FrameHandler handler_;
    std::deque<Placed> held_;
    std::int64_t slotEnd_ = 0; // of the frames handed out
    std::int64_t dataEnd_ = 0; // of their main data
    std::int64_t raised_ = 0;
    bool lacksRoomBefore_ = false; // why layOut stopped
};

} // namespace kestrine

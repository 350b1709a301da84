// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/aac_source_units.h"

#include "media/copying/mp4_track_timing.h"
#include "media/ffmpeg.h"
#include "media/media_input.h"

#include <cstdlib>
#include <cstring>

namespace kestrine {
namespace {

constexpr int kObjectTypeLc = 2;
constexpr int kRateIndices = 13;
constexpr int kRates[kRateIndices] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                      22050, 16000, 12000, 11025, 8000,  7350};
// Scale factor bands of a long and of a short window, by rate index.
constexpr int kLongBands[kRateIndices] = {41, 41, 47, 49, 49, 51, 47, 47, 43, 43, 43, 40, 40};
constexpr int kShortBands[kRateIndices] = {12, 12, 12, 14, 14, 14, 15, 15, 15, 15, 15, 15, 15};
constexpr int kFixedPoint16_16One = 0x10000;
// AAC allows 6,144 bits a channel in a unit; an MP4 file's unit larger than
// the MP4 writer takes is a damaged table, whatever the file says.
constexpr int kLargestUnitBytes = 65535;

enum Element { kSingleChannel = 0, kChannelPair = 1, kDataStream = 4, kFill = 6 };

class BitReader {
public:
    BitReader(const std::uint8_t* data, std::size_t size) : data_(data), bits_(size * 8) {}
    // -1 past the end.
    int read(int count)
    {
        if (at_ + static_cast<std::size_t>(count) > bits_)
            return -1;
        int value = 0;
        for (int i = 0; i < count; ++i, ++at_)
            value = value << 1 | ((data_[at_ / 8] >> (7 - at_ % 8)) & 1);
        return value;
    }
    void alignToByte() { at_ = (at_ + 7) / 8 * 8; }
    bool skipBytes(int count)
    {
        at_ += static_cast<std::size_t>(count) * 8;
        return at_ <= bits_;
    }

private:
    const std::uint8_t* data_;
    std::size_t bits_;
    std::size_t at_ = 0;
};

// ics_info, up to where AAC-LC's syntax allows no choice.
bool readIcsInfo(BitReader& bits, int rateIndex, AacWindow& window)
{
    if (bits.read(1) != 0) // reserved
        return false;
    const int sequence = bits.read(2);
    if (sequence < 0 || bits.read(1) < 0)
        return false;
    window = static_cast<AacWindow>(sequence);
    if (window == AacWindow::EightShort) {
        const int bands = bits.read(4);
        return bands >= 0 && bands <= kShortBands[rateIndex] && bits.read(7) >= 0;
    }
    const int bands = bits.read(6);
    // Prediction belongs to AAC Main, never to LC.
    return bands >= 0 && bands <= kLongBands[rateIndex] && bits.read(1) == 0;
}

struct AudioSpecificConfig {
    int objectType = 0;
    int rateIndex = -1;
    int channelConfiguration = 0;
    int frameLengthFlag = 0;
};

bool parseAudioSpecificConfig(const std::uint8_t* data, int size, AudioSpecificConfig& config)
{
    if (!data || size < 2)
        return false;
    BitReader bits(data, static_cast<std::size_t>(size));
    config.objectType = bits.read(5);
    if (config.objectType == 31)
        config.objectType = 32 + bits.read(6);
    config.rateIndex = bits.read(4);
    if (config.rateIndex == 15) {
        // A rate of its own: it must still be one of the table's.
        const int rate = bits.read(24);
        config.rateIndex = -1;
        for (int i = 0; i < kRateIndices; ++i)
            if (kRates[i] == rate)
                config.rateIndex = i;
    }
    config.channelConfiguration = bits.read(4);
    config.frameLengthFlag = bits.read(1);
    return config.objectType > 0 && config.rateIndex >= 0 && config.rateIndex < kRateIndices &&
           config.channelConfiguration >= 0 && config.frameLengthFlag >= 0;
}

bool isMp4(const MediaInput& input)
{
    return std::strstr(input.format->iformat->name, "mp4") != nullptr;
}

} // namespace

bool inspectAacUnit(const std::uint8_t* data, std::size_t size, int channels, int rateIndex, AacWindow& window)
{
    if (rateIndex < 0 || rateIndex >= kRateIndices)
        return false;
    BitReader bits(data, size);
    int element = bits.read(3);
    // Data and fill may come first; the sound's element follows.
    while (element == kDataStream || element == kFill) {
        int count = 0;
        if (element == kDataStream) {
            const bool aligned = bits.read(4) >= 0 && bits.read(1) == 1;
            count = bits.read(8);
            if (count == 255)
                count += bits.read(8);
            if (aligned)
                bits.alignToByte();
        } else {
            count = bits.read(4);
            if (count == 15)
                count += bits.read(8) - 1;
        }
        if (count < 0 || !bits.skipBytes(count))
            return false;
        element = bits.read(3);
    }
    if (channels == 1) {
        return element == kSingleChannel && bits.read(4) >= 0 && bits.read(8) >= 0 &&
               readIcsInfo(bits, rateIndex, window);
    }
    if (channels != 2 || element != kChannelPair || bits.read(4) < 0)
        return false;
    const int commonWindow = bits.read(1);
    if (commonWindow == 1)
        return readIcsInfo(bits, rateIndex, window) && bits.read(2) != 3; // ms_mask_present 3 is reserved
    return commonWindow == 0 && bits.read(8) >= 0 && readIcsInfo(bits, rateIndex, window);
}

MediaResult readAacSourceUnits(const std::string& path, std::int64_t frames, AacSourceUnits& source,
                               std::string& reason, std::stop_token stop)
{
    source = {};
    reason.clear();
    MediaInput input;
    // Every unit as the file stores it, from the first: the edit list is
    // read below, as the file states it.
    if (const MediaResult opened = openMediaInput(path, input, false, stop, {{"ignore_editlist", "1"}});
        failed(opened))
        return opened;
    AVStream* stream = input.stream();
    const AVCodecParameters& codec = *stream->codecpar;
    if (codec.codec_id != AV_CODEC_ID_AAC) {
        reason = "holds no AAC";
        return result::kOk;
    }
    if (!isMp4(input)) {
        reason = "holds AAC outside an MP4 file, which states no encoder priming";
        return result::kOk;
    }
    AudioSpecificConfig config;
    if (!parseAudioSpecificConfig(codec.extradata, codec.extradata_size, config) ||
        config.objectType != kObjectTypeLc || codec.profile != FF_PROFILE_AAC_LOW) {
        reason = "holds AAC of another profile than LC";
        return result::kOk;
    }
    if (config.frameLengthFlag != 0 || (codec.frame_size != 0 && codec.frame_size != kAacUnitSamples) ||
        kRates[config.rateIndex] != codec.sample_rate || config.channelConfiguration != codec.ch_layout.nb_channels) {
        reason = "holds AAC whose setup is not plain AAC-LC";
        return result::kOk;
    }
    source.sampleRate = codec.sample_rate;
    source.channels = codec.ch_layout.nb_channels;
    source.rateIndex = config.rateIndex;
    source.setup.assign(codec.extradata, codec.extradata + codec.extradata_size);
    source.trackId = static_cast<std::uint32_t>(stream->id);

    Mp4TrackTiming timing;
    if (const MediaResult read = readMp4TrackTiming(path, source.trackId, timing); failed(read))
        return read;
    else if (read == result::kFalse || !timing.hasEditList) {
        reason = "states no encoder priming (it has no edit list)";
        return result::kOk;
    }
    if (timing.edits.size() != 1 || timing.edits[0].mediaTime < 0 || timing.edits[0].rate != kFixedPoint16_16One ||
        timing.mediaTimeScale != static_cast<std::uint32_t>(source.sampleRate)) {
        reason = "has an edit list that does more than trim its priming and padding";
        return result::kOk;
    }
    const Mp4Edit& edit = timing.edits[0];
    source.priming = edit.mediaTime;
    // The length in the movie's time scale, maybe rounded: what FFmpeg
    // plays, and what the join measured, lies within one of its ticks.
    const std::int64_t stated = static_cast<std::int64_t>(edit.duration);
    if (stated <= 0 || std::llabs(frames * timing.movieTimeScale - stated * source.sampleRate) * 2 >
                           static_cast<std::int64_t>(source.sampleRate)) {
        reason = "plays another length than its edit list states";
        return result::kOk;
    }

    // Every unit plays 1,024 samples. A muxer's timestamps may stray from
    // that by one where it rounded them, which the sound never notices;
    // where the edit list starts and ends, they say what is trimmed and
    // must hold exactly.
    const int count = avformat_index_get_entries_count(stream);
    const std::int64_t fileBytes = avio_size(input.format->pb);
    const std::int64_t edgeUnits[] = {source.priming / kAacUnitSamples, (source.priming + frames) / kAacUnitSamples};
    std::int64_t bytes = 0;
    std::int64_t firstTimestamp = 0;
    for (int i = 0; i < count; ++i) {
        const AVIndexEntry* entry = avformat_index_get_entry(stream, i);
        if (i == 0 && entry)
            firstTimestamp = entry->timestamp;
        const std::int64_t stray = entry ? entry->timestamp - firstTimestamp - std::int64_t{i} * kAacUnitSamples : 0;
        const bool edge = i == edgeUnits[0] || i == edgeUnits[1];
        if (!entry || entry->size <= 0 || entry->size > kLargestUnitBytes || entry->pos < 0) {
            reason = "has a damaged access unit";
            return result::kOk;
        }
        if (fileBytes >= 0 && entry->pos + entry->size > fileBytes) {
            reason = "is cut short of the units its table lists";
            return result::kOk;
        }
        if (std::llabs(stray) > 1 || (edge && stray != 0)) {
            reason = "has access units of other lengths than 1,024 samples";
            return result::kOk;
        }
        source.units.push_back({static_cast<std::uint64_t>(entry->pos), static_cast<std::uint32_t>(entry->size)});
        bytes += entry->size;
    }
    if (frames <= 0 || source.samplesAfterPriming() < frames) {
        reason = "holds fewer samples than its edit list states";
        return result::kOk;
    }
    source.bitRate = bytes * 8 * source.sampleRate / (static_cast<std::int64_t>(count) * kAacUnitSamples);
    return result::kOk;
}

} // namespace kestrine

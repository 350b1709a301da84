// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/format_choice.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace kestrine {
namespace {

// Below this a rate is more likely a mistake than a recording.
constexpr int kLowestSampleRate = 1000;
// FFmpeg's FLAC encoder (5.1) codes a rate above 65,535 Hz only as a
// multiple of 10 below 655,350 Hz.
constexpr int kLowestFlacTenHertzRate = 65535;
constexpr int kHighestFlacRate = 655340;

constexpr int kMp3Rates[] = {32000, 44100, 48000};
constexpr int kAacRates[] = {7350, 8000, 11025, 12000, 16000, 22050, 24000,
                             32000, 44100, 48000, 64000, 88200, 96000};
constexpr int kOpusRate = 48000;
// MPEG-1 Layer III, the only layer at the rates above.
constexpr int kMp3BitRates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr int kLowestAacBitRate = 16;
constexpr int kHighestAacBitRate = 320;
constexpr int kLowestOpusBitRate = 6;
constexpr int kHighestOpusBitRate = 510;
constexpr int kHighestVbrQuality = 9;

// What a format uses when the user names none.
constexpr int kDefaultMp3Quality = 2;
constexpr int kDefaultAacBitRate = 192;
constexpr int kDefaultOpusBitRate = 128;

template <std::size_t N>
int nearestOf(const int (&rates)[N], int rate)
{
    int best = rates[0];
    for (const int candidate : rates) {
        const long long distance = std::llabs(static_cast<long long>(candidate) - rate);
        const long long bestDistance = std::llabs(static_cast<long long>(best) - rate);
        if (distance < bestDistance || (distance == bestDistance && candidate > best))
            best = candidate;
    }
    return best;
}

template <std::size_t N>
bool isOneOf(const int (&values)[N], int value)
{
    return std::find(std::begin(values), std::end(values), value) != std::end(values);
}

bool holdsRate(Encoding encoding, int rate)
{
    switch (encoding) {
    case Encoding::Wav:
    case Encoding::Aiff:
        return rate >= kLowestSampleRate && rate <= kHighestSampleRate;
    case Encoding::Flac:
        return rate >= kLowestSampleRate &&
               (rate <= kLowestFlacTenHertzRate || (rate % 10 == 0 && rate <= kHighestFlacRate));
    case Encoding::Mp3:
        return isOneOf(kMp3Rates, rate);
    case Encoding::M4a:
    case Encoding::M4b:
        return isOneOf(kAacRates, rate);
    case Encoding::Opus:
        return rate == kOpusRate;
    }
    return false;
}

// The formats whose samples keep 16 or 24 bits as the sources have them.
bool keepsBitDepth(Encoding encoding)
{
    return encoding == Encoding::Wav || encoding == Encoding::Flac || encoding == Encoding::Aiff;
}

// 48000 as "48,000".
std::string grouped(long long value)
{
    std::string digits = std::to_string(value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

template <std::size_t N>
std::string listed(const int (&values)[N], bool group)
{
    std::string text;
    for (std::size_t i = 0; i < N; ++i) {
        if (i > 0)
            text += i + 1 == N ? " or " : ", ";
        text += group ? grouped(values[i]) : std::to_string(values[i]);
    }
    return text;
}

std::string ratesAllowed(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Wav:
    case Encoding::Aiff:
        return "sample rates from " + grouped(kLowestSampleRate) + " to " + grouped(kHighestSampleRate) + " Hz";
    case Encoding::Flac:
        return "sample rates from " + grouped(kLowestSampleRate) + " to " + grouped(kLowestFlacTenHertzRate) +
               " Hz, and multiples of 10 up to " + grouped(kHighestFlacRate) + " Hz";
    case Encoding::Mp3:
        return "a sample rate of " + listed(kMp3Rates, true) + " Hz";
    case Encoding::M4a:
    case Encoding::M4b:
        return "a sample rate of " + listed(kAacRates, true) + " Hz";
    case Encoding::Opus:
        return "a sample rate of " + grouped(kOpusRate) + " Hz only";
    }
    return {};
}

} // namespace

std::string encodingName(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Wav: return "WAV";
    case Encoding::Flac: return "FLAC";
    case Encoding::Mp3: return "MP3";
    case Encoding::Opus: return "Opus";
    case Encoding::M4a: return "M4A";
    case Encoding::M4b: return "M4B";
    case Encoding::Aiff: return "AIFF";
    }
    return {};
}

int nearestRateFor(Encoding encoding, int rate)
{
    switch (encoding) {
    case Encoding::Wav:
    case Encoding::Aiff:
        return std::clamp(rate, kLowestSampleRate, kHighestSampleRate);
    case Encoding::Flac:
        rate = std::max(rate, kLowestSampleRate);
        // Halving keeps the conversion a whole ratio: 705,600 Hz becomes 352,800 Hz.
        while (rate > kHighestFlacRate)
            rate /= 2;
        if (!holdsRate(encoding, rate))
            rate = std::min((rate + 5) / 10 * 10, kHighestFlacRate);
        return rate;
    case Encoding::Mp3:
        return nearestOf(kMp3Rates, rate);
    case Encoding::M4a:
    case Encoding::M4b:
        return nearestOf(kAacRates, rate);
    case Encoding::Opus:
        return kOpusRate;
    }
    return rate;
}

OutputFormat chooseOutputFormat(Encoding encoding, const AudioFormatRequest& request,
                                const std::vector<SourceFormat>& sources)
{
    OutputFormat format;
    format.encoding = encoding;

    // Each rate's share of the join; the first source's rate when no length tells.
    std::map<int, MediaTime> shares;
    bool allMono = !sources.empty();
    bool anyDeep = false;
    for (const SourceFormat& source : sources) {
        if (source.sampleRate > 0)
            shares[source.sampleRate] += std::max<MediaTime>(source.length, 0);
        allMono = allMono && source.channels == 1;
        anyDeep = anyDeep || source.deep;
    }
    int rate = format.sampleRate;
    MediaTime largest = -1;
    for (const auto& [candidate, share] : shares) {
        // Equal shares go to the higher rate, which loses nothing of the other.
        if (share >= largest) {
            rate = candidate;
            largest = share;
        }
    }
    format.sampleRate = request.sampleRate > 0 ? request.sampleRate : nearestRateFor(encoding, rate);
    format.channels = request.channels > 0 ? request.channels : (allMono ? 1 : 2);
    if (keepsBitDepth(encoding))
        format.bitsPerSample = request.bitsPerSample > 0 ? request.bitsPerSample : (anyDeep ? 24 : 16);
    switch (encoding) {
    case Encoding::Mp3:
        format.bitRateKbps = request.bitRateKbps;
        if (request.bitRateKbps <= 0)
            format.vbrQuality = request.vbrQuality >= 0 ? request.vbrQuality : kDefaultMp3Quality;
        break;
    case Encoding::M4a:
    case Encoding::M4b:
        format.bitRateKbps = request.bitRateKbps > 0 ? request.bitRateKbps : kDefaultAacBitRate;
        break;
    case Encoding::Opus:
        format.bitRateKbps = request.bitRateKbps > 0 ? request.bitRateKbps : kDefaultOpusBitRate;
        break;
    case Encoding::Wav:
    case Encoding::Flac:
    case Encoding::Aiff:
        break;
    }
    return format;
}

std::string formatRequestProblem(const AudioFormatRequest& request, Encoding encoding)
{
    const std::string name = encodingName(encoding);
    if (request.sampleRate != 0 && !holdsRate(encoding, request.sampleRate))
        return name + " takes " + ratesAllowed(encoding) + ".";
    if (request.channels != 0 && request.channels != 1 && request.channels != 2)
        return "The output has 1 channel (mono) or 2 (stereo).";
    if (request.bitsPerSample != 0) {
        if (!keepsBitDepth(encoding))
            return name + " chooses its own resolution: a bit depth is for WAV, FLAC and AIFF only.";
        if (request.bitsPerSample != 16 && request.bitsPerSample != 24)
            return name + " takes 16 or 24 bits.";
    }
    if (request.bitRateKbps != 0) {
        switch (encoding) {
        case Encoding::Wav:
        case Encoding::Flac:
        case Encoding::Aiff:
            return name + " is lossless and has no bit rate: a bit rate is for MP3, M4A and Opus only.";
        case Encoding::Mp3:
            if (!isOneOf(kMp3BitRates, request.bitRateKbps))
                return "MP3 takes a bit rate of " + listed(kMp3BitRates, false) + " kbit/s.";
            break;
        case Encoding::M4a:
        case Encoding::M4b:
            if (request.bitRateKbps < kLowestAacBitRate || request.bitRateKbps > kHighestAacBitRate)
                return name + " takes a bit rate from " + std::to_string(kLowestAacBitRate) + " to " +
                       std::to_string(kHighestAacBitRate) + " kbit/s.";
            break;
        case Encoding::Opus:
            if (request.bitRateKbps < kLowestOpusBitRate || request.bitRateKbps > kHighestOpusBitRate)
                return "Opus takes a bit rate from " + std::to_string(kLowestOpusBitRate) + " to " +
                       std::to_string(kHighestOpusBitRate) + " kbit/s.";
            break;
        }
    }
    if (request.vbrQuality != -1) {
        if (encoding != Encoding::Mp3)
            return name + " has no VBR quality: a quality is for MP3 only.";
        if (request.vbrQuality < 0 || request.vbrQuality > kHighestVbrQuality)
            return "MP3 takes a VBR quality from 0 (best) to " + std::to_string(kHighestVbrQuality) + ".";
        if (request.bitRateKbps != 0)
            return "MP3 takes a constant bit rate or a VBR quality, not both.";
    }
    return {};
}

AudioFormatRequest fitFormatRequest(const AudioFormatRequest& request, Encoding encoding)
{
    AudioFormatRequest fitted;
    if (request.sampleRate > 0)
        fitted.sampleRate = nearestRateFor(encoding, request.sampleRate);
    if (request.channels == 1 || request.channels == 2)
        fitted.channels = request.channels;
    if (keepsBitDepth(encoding) && (request.bitsPerSample == 16 || request.bitsPerSample == 24))
        fitted.bitsPerSample = request.bitsPerSample;
    if (request.bitRateKbps > 0) {
        switch (encoding) {
        case Encoding::Mp3: fitted.bitRateKbps = nearestOf(kMp3BitRates, request.bitRateKbps); break;
        case Encoding::M4a:
        case Encoding::M4b:
            fitted.bitRateKbps = std::clamp(request.bitRateKbps, kLowestAacBitRate, kHighestAacBitRate);
            break;
        case Encoding::Opus:
            fitted.bitRateKbps = std::clamp(request.bitRateKbps, kLowestOpusBitRate, kHighestOpusBitRate);
            break;
        case Encoding::Wav:
        case Encoding::Flac:
        case Encoding::Aiff: break;
        }
    }
    if (encoding == Encoding::Mp3 && fitted.bitRateKbps == 0 && request.vbrQuality >= 0)
        fitted.vbrQuality = std::min(request.vbrQuality, kHighestVbrQuality);
    return fitted;
}

std::string formatSummary(const OutputFormat& format)
{
    std::string text = grouped(format.sampleRate) + " Hz " +
                       (format.channels == 1 ? "mono" : format.channels == 2 ? "stereo"
                                                                             : std::to_string(format.channels) + " channels") +
                       ", ";
    if (keepsBitDepth(format.encoding))
        return text + std::to_string(format.bitsPerSample) + "-bit " + encodingName(format.encoding);
    text += encodingName(format.encoding);
    if (format.bitRateKbps > 0)
        return text + " at " + std::to_string(format.bitRateKbps) + " kbit/s";
    return text + " VBR quality " + std::to_string(format.vbrQuality);
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/loudness/loudness_meter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

namespace kestrine {
namespace {

// Frames widened at once: a buffer that stays in the cache.
constexpr std::int64_t kChunkFrames = 4096;
// Loudness is energy in decibels less this, so that a 997 Hz sine at full
// scale measures -3.01 LUFS.
constexpr double kLoudnessOffset = -0.691;
constexpr double kAbsoluteGateLufs = -70.0;
constexpr double kRelativeGateLu = -10.0;
// The histogram's bins: 0.01 LU from the absolute gate up; louder blocks
// than the last bin's, which no sound at full scale reaches, share it.
constexpr double kBinsPerLu = 100.0;
constexpr int kBins = 80 * 100;

// The K-weighting filter's two stages, from the analogue prototypes'
// parameters: a high shelf of about +4 dB above 1.5 kHz for the head, then
// a high pass at 38 Hz.
constexpr double kShelfFrequency = 1681.974450955533;
constexpr double kShelfGainDb = 3.999843853973347;
constexpr double kShelfQ = 0.7071752369554196;
constexpr double kShelfBandwidthExponent = 0.4996667741545416;
constexpr double kHighPassFrequency = 38.13547087602444;
constexpr double kHighPassQ = 0.5003270373238773;

// The true peak's interpolation filter: a Hann-windowed sinc of 49 taps,
// split into one phase per output sample between two input samples.
constexpr int kInterpolationTaps = 49;
// Earlier samples a phase reaches back to, at most (at 2× oversampling).
constexpr int kHistory = (kInterpolationTaps - 1) / 2;
// Frames whose true peak is skipped together when their samples cannot reach the highest so far.
constexpr std::int64_t kPeakStretch = 32;

double energyOf(double lufs) { return std::pow(10.0, (lufs - kLoudnessOffset) / 10.0); }
double lufsOf(double energy) { return 10.0 * std::log10(energy) + kLoudnessOffset; }

using Biquad = LoudnessMeter::Biquad;

Biquad shelfFor(int rate)
{
    const double k = std::tan(std::numbers::pi * kShelfFrequency / rate);
    const double vh = std::pow(10.0, kShelfGainDb / 20.0);
    const double vb = std::pow(vh, kShelfBandwidthExponent);
    const double a0 = 1.0 + k / kShelfQ + k * k;
    return {(vh + vb * k / kShelfQ + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / kShelfQ + k * k) / a0,
            2.0 * (k * k - 1.0) / a0, (1.0 - k / kShelfQ + k * k) / a0};
}

Biquad highPassFor(int rate)
{
    const double k = std::tan(std::numbers::pi * kHighPassFrequency / rate);
    const double a0 = 1.0 + k / kHighPassQ + k * k;
    return {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / kHighPassQ + k * k) / a0};
}

// Each channel's weight in the sum: front channels 1, surround 1.41, the
// low-frequency channel (the fourth of six) and any beyond the sixth 0.
double weightOf(int channel, int channels)
{
    if (channels == 4)
        return channel < 2 ? 1.0 : 1.41;
    if (channels == 5)
        return channel < 3 ? 1.0 : 1.41;
    switch (channel) {
    case 0:
    case 1:
    case 2:
        return 1.0;
    case 4:
    case 5:
        return 1.41;
    default:
        return 0.0;
    }
}

// Eight floats, which the compiler maps onto whatever vector unit it builds for.
using Floats8 = float __attribute__((vector_size(32)));
constexpr int kVectors = 4; // kPeakStretch floats
static_assert(kVectors * 8 == kPeakStretch);

// The highest magnitude of the interpolated outputs at the `count` samples
// from `line` on (which holds `taps` - 1 samples before them, and
// kPeakStretch after the first, whatever `count`). Built for the wider
// vector units too, where the processor has them: the true peak's filter is
// most of the measuring's work. The sums stay in registers, tap after tap.
// Not under the thread sanitizer: the loader runs the choosing function
// before the sanitizer is ready, and its instrumented code crashes there.
#if defined(__x86_64__) && !defined(__SANITIZE_THREAD__)
#define KESTRINE_WIDER_VECTORS __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define KESTRINE_WIDER_VECTORS
#endif
KESTRINE_WIDER_VECTORS float
highestInterpolated(const float* line, std::int64_t count, const float* coefficients, int phases, int taps)
{
    const Floats8 lane = {0, 1, 2, 3, 4, 5, 6, 7};
    Floats8 highest = {};
    for (int phase = 0; phase < phases; ++phase) {
        const float* c = coefficients + phase * taps;
        // Four sums by name, not an array: so they live in registers.
        Floats8 sum0 = {}, sum1 = {}, sum2 = {}, sum3 = {};
        for (int t = 0; t < taps; ++t) {
            const Floats8 tap = Floats8{} + c[t];
            const float* x = line - t;
            Floats8 samples0, samples1, samples2, samples3;
            std::memcpy(&samples0, x, sizeof samples0);
            std::memcpy(&samples1, x + 8, sizeof samples1);
            std::memcpy(&samples2, x + 16, sizeof samples2);
            std::memcpy(&samples3, x + 24, sizeof samples3);
            sum0 += tap * samples0;
            sum1 += tap * samples1;
            sum2 += tap * samples2;
            sum3 += tap * samples3;
        }
        const Floats8 sums[kVectors] = {sum0, sum1, sum2, sum3};
        for (int v = 0; v < kVectors; ++v) {
            const Floats8 magnitude = sums[v] > -sums[v] ? sums[v] : -sums[v];
            const Floats8 taken = lane + static_cast<float>(8 * v) < static_cast<float>(count) ? magnitude : Floats8{};
            highest = taken > highest ? taken : highest;
        }
    }
    float result = 0.0f;
    for (int i = 0; i < 8; ++i)
        result = std::max(result, highest[i]);
    return result;
}

} // namespace

void GatedBlocks::add(double energy)
{
    if (bins_.empty())
        bins_.resize(kBins);
    const double above = (lufsOf(energy) - kAbsoluteGateLufs) * kBinsPerLu;
    const int bin = std::clamp(static_cast<int>(above), 0, kBins - 1);
    ++bins_[static_cast<std::size_t>(bin)].count;
    bins_[static_cast<std::size_t>(bin)].energy += energy;
}

void GatedBlocks::merge(const GatedBlocks& other)
{
    if (other.bins_.empty())
        return;
    if (bins_.empty())
        bins_.resize(kBins);
    for (std::size_t i = 0; i < bins_.size(); ++i) {
        bins_[i].count += other.bins_[i].count;
        bins_[i].energy += other.bins_[i].energy;
    }
}

double GatedBlocks::integrated() const
{
    std::uint64_t count = 0;
    double energy = 0.0;
    for (const Bin& bin : bins_) {
        count += bin.count;
        energy += bin.energy;
    }
    if (count == 0)
        return -std::numeric_limits<double>::infinity();
    // Blocks in the bin the relative gate falls in count from that bin's
    // floor: at most 0.01 LU's worth of blocks more than the exact gate.
    const double gate = lufsOf(energy / static_cast<double>(count)) + kRelativeGateLu;
    const int first = std::clamp(static_cast<int>(std::floor((gate - kAbsoluteGateLufs) * kBinsPerLu)), 0, kBins - 1);
    std::uint64_t gatedCount = 0;
    double gatedEnergy = 0.0;
    for (std::size_t i = static_cast<std::size_t>(first); i < bins_.size(); ++i) {
        gatedCount += bins_[i].count;
        gatedEnergy += bins_[i].energy;
    }
    return gatedCount == 0 ? -std::numeric_limits<double>::infinity()
                           : lufsOf(gatedEnergy / static_cast<double>(gatedCount));
}

struct LoudnessMeter::Channel {
    double weight = 0.0;
    double shelf[2] = {0.0, 0.0}; // the filters' states
    double highPass[2] = {0.0, 0.0};
    double partEnergy = 0.0;
    double samplePeak = 0.0;
    double truePeak = 0.0;
    std::vector<float> line = std::vector<float>(kHistory, 0.0f); // the samples the filter reaches back to, then a chunk's
    double historyPeak = 0.0; // the highest of those samples before the chunk
};

struct LoudnessMeter::Interpolator {
    // Tap j of the filter belongs to phase j % factor and reads the sample
    // j / factor back; phase 0 is the sample itself (its other taps are
    // zeros of the sinc or of the window), so only the others are computed.
    explicit Interpolator(int factor) : phases(factor - 1), taps((kInterpolationTaps - 1) / factor)
    {
        coefficients.assign(static_cast<std::size_t>(phases * taps), 0.0f);
        for (int tap = 0; tap < kInterpolationTaps; ++tap) {
            const double middle = tap - (kInterpolationTaps - 1) / 2.0;
            double c = 1.0;
            if (std::abs(middle) > 1e-6)
                c = std::sin(middle * std::numbers::pi / factor) / (middle * std::numbers::pi / factor);
            c *= 0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * tap / (kInterpolationTaps - 1)));
            const int phase = tap % factor;
            if (phase == 0 || tap / factor >= taps)
                continue;
            coefficients[static_cast<std::size_t>((phase - 1) * taps + tap / factor)] = static_cast<float>(c);
        }
        for (int phase = 0; phase < phases; ++phase) {
            double sum = 0.0;
            for (int t = 0; t < taps; ++t)
                sum += std::abs(coefficients[static_cast<std::size_t>(phase * taps + t)]);
            bound = std::max(bound, sum);
        }
    }
    int phases;
    int taps; // per phase; tap t reads the sample t back from the newest
    std::vector<float> coefficients; // by phase, then tap
    // No phase's output exceeds the samples it reads by more than this
    // factor: the sum of its taps' magnitudes.
    double bound = 0.0;
};

MediaResult LoudnessMeter::create(int channels, int sampleRate, int bitsPerSample,
                                  std::unique_ptr<LoudnessMeter>& meter)
{
    if (channels < 1 || channels > 64 || sampleRate < 16 || (bitsPerSample != 16 && bitsPerSample != 24))
        return result::kInvalidArgument;
    meter.reset(new LoudnessMeter(channels, sampleRate, bitsPerSample));
    return result::kOk;
}

LoudnessMeter::LoudnessMeter(int channels, int sampleRate, int bitsPerSample)
    : channels_(channels), bitsPerSample_(bitsPerSample), framesPer100ms_((sampleRate + 5) / 10),
      channelStates_(static_cast<std::size_t>(channels))
{
    for (int c = 0; c < channels; ++c)
        channelStates_[static_cast<std::size_t>(c)].weight = weightOf(c, channels);
    if (sampleRate < 96000)
        interpolator_ = std::make_unique<Interpolator>(4);
    else if (sampleRate < 192000)
        interpolator_ = std::make_unique<Interpolator>(2);
    shelf_ = shelfFor(sampleRate);
    highPass_ = highPassFor(sampleRate);
}

LoudnessMeter::~LoudnessMeter() = default;

MediaResult LoudnessMeter::addFrames(const void* data, std::int64_t frames)
{
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    widened_.resize(static_cast<std::size_t>(kChunkFrames * channels_));
    while (frames > 0) {
        const std::int64_t count = std::min(frames, kChunkFrames);
        const std::int64_t samples = count * channels_;
        if (bitsPerSample_ == 16) {
            for (std::int64_t i = 0; i < samples; ++i, bytes += 2) {
                std::int16_t sample;
                std::memcpy(&sample, bytes, 2);
                widened_[static_cast<std::size_t>(i)] = sample / 32768.0;
            }
        } else {
            for (std::int64_t i = 0; i < samples; ++i, bytes += 3) {
                const std::int32_t sample = static_cast<std::int32_t>(std::uint32_t(bytes[0]) << 8 |
                                                                      std::uint32_t(bytes[1]) << 16 |
                                                                      std::uint32_t(bytes[2]) << 24) >> 8;
                widened_[static_cast<std::size_t>(i)] = sample / 8388608.0;
            }
        }
        measurePeaks(widened_.data(), count);
        addSamples(widened_.data(), count);
        frames -= count;
    }
    return result::kOk;
}

MediaResult LoudnessMeter::addSilence(std::int64_t frames)
{
    widened_.assign(static_cast<std::size_t>(kChunkFrames * channels_), 0.0);
    while (frames > 0) {
        const std::int64_t count = std::min(frames, kChunkFrames);
        measurePeaks(widened_.data(), count);
        addSamples(widened_.data(), count);
        frames -= count;
    }
    return result::kOk;
}

// The K-weighting of `count` frames of one channel, `stride` samples apart,
// in transposed direct form; the filters' states stay in registers.
void LoudnessMeter::weighChannel(const double* in, int stride, std::int64_t count, const Biquad& s, const Biquad& h,
                                 Channel& channel)
{
    double s1 = channel.shelf[0], s2 = channel.shelf[1];
    double h1 = channel.highPass[0], h2 = channel.highPass[1];
    double energy = 0.0;
    for (std::int64_t i = 0; i < count; ++i, in += stride) {
        const double x = *in;
        const double shelved = s.b0 * x + s1;
        s1 = s.b1 * x - s.a1 * shelved + s2;
        s2 = s.b2 * x - s.a2 * shelved;
        const double weighted = shelved + h1;
        h1 = -2.0 * shelved - h.a1 * weighted + h2;
        h2 = shelved - h.a2 * weighted;
        energy += weighted * weighted;
    }
    channel.shelf[0] = s1;
    channel.shelf[1] = s2;
    channel.highPass[0] = h1;
    channel.highPass[1] = h2;
    channel.partEnergy += energy;
}

// The same for every channel of a mono or stereo stream at once: each
// sample's filter waits for the one before, so two channels side by side
// run in the time of one.
template <int kChannels>
void LoudnessMeter::weighChannels(const double* in, std::int64_t count, const Biquad& s, const Biquad& h,
                                  Channel* channels)
{
    double s1[kChannels], s2[kChannels], h1[kChannels], h2[kChannels], energy[kChannels];
    for (int c = 0; c < kChannels; ++c) {
        s1[c] = channels[c].shelf[0];
        s2[c] = channels[c].shelf[1];
        h1[c] = channels[c].highPass[0];
        h2[c] = channels[c].highPass[1];
        energy[c] = 0.0;
    }
    for (std::int64_t i = 0; i < count; ++i, in += kChannels)
        for (int c = 0; c < kChannels; ++c) {
            const double x = in[c];
            const double shelved = s.b0 * x + s1[c];
            s1[c] = s.b1 * x - s.a1 * shelved + s2[c];
            s2[c] = s.b2 * x - s.a2 * shelved;
            const double weighted = shelved + h1[c];
            h1[c] = -2.0 * shelved - h.a1 * weighted + h2[c];
            h2[c] = shelved - h.a2 * weighted;
            energy[c] += weighted * weighted;
        }
    for (int c = 0; c < kChannels; ++c) {
        channels[c].shelf[0] = s1[c];
        channels[c].shelf[1] = s2[c];
        channels[c].highPass[0] = h1[c];
        channels[c].highPass[1] = h2[c];
        channels[c].partEnergy += energy[c];
    }
}

void LoudnessMeter::addSamples(const double* samples, std::int64_t frames)
{
    const Biquad s = shelf_;
    const Biquad h = highPass_;
    while (frames > 0) {
        const std::int64_t count = std::min(frames, framesPer100ms_ - partFrames_);
        if (channels_ == 1)
            weighChannels<1>(samples, count, s, h, channelStates_.data());
        else if (channels_ == 2)
            weighChannels<2>(samples, count, s, h, channelStates_.data());
        else
            for (int c = 0; c < channels_; ++c)
                if (channelStates_[static_cast<std::size_t>(c)].weight != 0.0)
                    weighChannel(samples + c, channels_, count, s, h, channelStates_[static_cast<std::size_t>(c)]);
        partFrames_ += count;
        samples += count * channels_;
        frames -= count;
        if (partFrames_ < framesPer100ms_)
            continue;
        double part = 0.0;
        for (Channel& channel : channelStates_) {
            part += channel.weight * channel.partEnergy;
            channel.partEnergy = 0.0;
        }
        parts_[static_cast<std::size_t>(partsDone_ % 4)] = part;
        ++partsDone_;
        partFrames_ = 0;
        // A block every 100 ms, of the 400 ms before it.
        if (partsDone_ >= 4) {
            const double energy = (parts_[0] + parts_[1] + parts_[2] + parts_[3]) / static_cast<double>(4 * framesPer100ms_);
            if (energy >= energyOf(kAbsoluteGateLufs))
                blocks_.add(energy);
        }
    }
}

void LoudnessMeter::measurePeaks(const double* samples, std::int64_t frames)
{
    for (int c = 0; c < channels_; ++c) {
        Channel& channel = channelStates_[static_cast<std::size_t>(c)];
        // The samples before, the chunk's, and room for a last stretch read whole.
        channel.line.resize(static_cast<std::size_t>(kHistory + frames + kPeakStretch));
        float* line = channel.line.data() + kHistory;
        double chunkPeak = 0.0;
        for (std::int64_t i = 0; i < frames; ++i) {
            const double sample = samples[i * channels_ + c];
            line[i] = static_cast<float>(sample);
            chunkPeak = std::max(chunkPeak, std::abs(sample));
        }
        std::fill_n(line + frames, kPeakStretch, 0.0f);
        channel.samplePeak = std::max(channel.samplePeak, chunkPeak);
        if (interpolator_ && std::max(chunkPeak, channel.historyPeak) * interpolator_->bound > channel.truePeak) {
            const Interpolator& interpolator = *interpolator_;
            // The samples the filter reaches back to from a stretch lie in
            // the stretch before, or before the chunk: no stretch but the
            // last is shorter than that reach.
            static_assert(kPeakStretch >= kHistory);
            float before = static_cast<float>(channel.historyPeak);
            for (std::int64_t start = 0; start < frames; start += kPeakStretch) {
                const std::int64_t count = std::min(kPeakStretch, frames - start);
                float highest = 0.0f;
                for (std::int64_t i = start; i < start + count; ++i)
                    highest = std::max(highest, std::abs(line[i]));
                // Every output between these samples reads them and the
                // ones just before: when even the bound of those stays under
                // the highest true peak so far, none of them can raise it.
                const float reach = std::max(highest, before);
                before = highest;
                if (reach * interpolator.bound <= channel.truePeak)
                    continue;
                const float interpolated = highestInterpolated(line + start, count, interpolator.coefficients.data(),
                                                               interpolator.phases, interpolator.taps);
                channel.truePeak = std::max(channel.truePeak, static_cast<double>(interpolated));
            }
        }
        // What the next chunk's first outputs read back to.
        std::copy(line + frames - kHistory, line + frames, channel.line.begin());
        channel.historyPeak = 0.0;
        for (int i = 0; i < kHistory; ++i)
            channel.historyPeak = std::max(channel.historyPeak, static_cast<double>(std::abs(channel.line[static_cast<std::size_t>(i)])));
    }
}

double LoudnessMeter::truePeak() const
{
    double highest = 0.0;
    for (const Channel& channel : channelStates_)
        highest = std::max({highest, channel.truePeak, channel.samplePeak});
    return highest;
}

double LoudnessMeter::samplePeak() const
{
    double highest = 0.0;
    for (const Channel& channel : channelStates_)
        highest = std::max(highest, channel.samplePeak);
    return highest;
}

double decibelsOf(double linear)
{
    return linear > 0.0 ? 20.0 * std::log10(linear) : -std::numeric_limits<double>::infinity();
}

double linearOf(double decibels)
{
    return std::pow(10.0, decibels / 20.0);
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/copying/aac_frame_join.h"
#include "media/copying/aac_join_copier.h"
#include "tests/media/aac_sources.h"
#include "tests/media/join_measures.h"
#include "tests/support/test_media.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

// Joins of M4A files that copy the sources' access units: exact as a
// player that honours the edit list plays them, valid as other programs
// see them, and made of the sources' own units but for a few around each join.
namespace kestrine::testing {
namespace {

constexpr std::int64_t kUnit = 1024;
// Units around a join that are encoded anew, or overlap one that is: past
// these, the join plays the sources' very samples.
constexpr std::int64_t kJoinReachUnits = 5;
constexpr double kLeastJoinSnrDb = 15.0;
constexpr double kLeastCopiedShare = 0.9;
// With noise substitution, the substituted bands' noise away from the joins.
constexpr double kLeastNoiseSnrDb = 30.0;

// ffmpeg's decoding of a file, cut to the length the file states: FFmpeg
// 5.1 trims the priming by the edit list but plays the last unit whole.
Decoded decodedAsStated(const std::string& path, int channels)
{
    Decoded decoded = decodeWithFfmpeg(path);
    const std::int64_t stated = statedFrames(path);
    if (stated < 0 || static_cast<std::int64_t>(decoded.samples.size()) < stated * channels)
        decoded.warnings += "decodes to fewer samples than the " + std::to_string(stated) + " it states";
    else
        decoded.samples.resize(static_cast<std::size_t>(stated * channels));
    return decoded;
}

struct JoinCase {
    const char* name;
    AacSourceSpec spec;
    bool partsOfOne;                // cut from one encoding by copying; else each encoded on its own
    std::vector<std::int64_t> cuts; // where the chirp is cut into sources, the last being its end
};

void PrintTo(const JoinCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class AacFrameJoinTable : public ::testing::TestWithParam<JoinCase> {
protected:
    std::string pathOf(const std::string& name) const { return folder_.path().toStdString() + "/" + name; }

    // The chirp cut at `cuts` into M4A sources, and the plan that joins them.
    RenderPlan makeSources(const JoinCase& tested)
    {
        RenderPlan plan;
        plan.format = OutputFormat{tested.spec.sampleRate, tested.spec.channels, 16, Encoding::M4a};
        plan.withMarkers = false;
        const std::string whole = pathOf("whole.m4a");
        if (tested.partsOfOne) {
            const std::string made = writeAacChirp(whole, tested.spec, 0, tested.cuts.back());
            EXPECT_TRUE(made.empty()) << made;
        }
        std::int64_t at = 0;
        for (std::size_t i = 0; i < tested.cuts.size(); ++i) {
            PlannedSource source;
            source.path = pathOf("part" + std::to_string(i) + ".m4a");
            const std::string made = tested.partsOfOne
                                         ? cutAacPart(whole, source.path, at, tested.cuts[i])
                                         : writeAacChirp(source.path, tested.spec, at, tested.cuts[i]);
            EXPECT_TRUE(made.empty()) << made;
            EXPECT_EQ(statedFrames(source.path), tested.cuts[i] - at) << source.path;
            source.firstFrame = at;
            source.endFrame = tested.cuts[i];
            source.mediaStop = (source.endFrame - at) * 10'000'000 / tested.spec.sampleRate;
            plan.sources.push_back(source);
            at = tested.cuts[i];
        }
        plan.totalFrames = at;
        return plan;
    }

    QTemporaryDir folder_;
};

TEST_P(AacFrameJoinTable, CopiesUnitsAndStaysExact)
{
    const JoinCase& tested = GetParam();
    const RenderPlan plan = makeSources(tested);
    ASSERT_FALSE(HasFailure());
    std::unique_ptr<AacFrameJoin> join;
    std::string reason;
    ASSERT_EQ(AacFrameJoin::plan(plan, join, reason), result::kOk);
    ASSERT_TRUE(join) << reason;
    const std::string output = pathOf("joined.m4a");
    RenderProgress progress;
    ASSERT_EQ(writeAacFrameJoin(plan, *join, output, progress, {}), result::kOk);
    EXPECT_EQ(progress.framesComplete.load(), plan.totalFrames);

    // Exactly the sources' length, as ffprobe reads it.
    EXPECT_EQ(statedFrames(output), plan.totalFrames);
    const int channels = tested.spec.channels;
    const Decoded joined = decodedAsStated(output, channels);
    EXPECT_EQ(joined.warnings, "");
    std::vector<float> reference;
    for (const PlannedSource& source : plan.sources) {
        const Decoded part = decodedAsStated(source.path, channels);
        ASSERT_EQ(part.warnings, "");
        reference.insert(reference.end(), part.samples.begin(), part.samples.end());
    }
    ASSERT_EQ(joined.samples.size(), reference.size());

    // Away from the joins, the sources' very samples.
    const std::int64_t reach = kJoinReachUnits * kUnit;
    std::vector<std::int64_t> joins;
    for (std::size_t i = 0; i + 1 < plan.sources.size(); ++i)
        joins.push_back(plan.sources[i].endFrame);
    std::vector<float> awayJoined;
    std::vector<float> awayReference;
    for (std::int64_t n = 0; n < plan.totalFrames; ++n) {
        bool nearJoin = false;
        for (const std::int64_t at : joins)
            nearJoin = nearJoin || std::llabs(n - at) < reach;
        if (nearJoin)
            continue;
        for (int c = 0; c < channels; ++c) {
            const auto i = static_cast<std::size_t>(n * channels + c);
            awayJoined.push_back(joined.samples[i]);
            awayReference.push_back(reference[i]);
        }
    }
    if (tested.spec.noiseSubstitution) {
        const double snr = snrDb(awayReference, awayJoined, 0, awayReference.size());
        EXPECT_GE(snr, kLeastNoiseSnrDb);
        RecordProperty("snr_db_away_from_joins", std::to_string(snr));
    } else {
        EXPECT_TRUE(awayJoined == awayReference);
    }

    // At each join: no gap, no overlap, no click.
    for (const std::int64_t at : joins) {
        SCOPED_TRACE("join at sample " + std::to_string(at));
        // Within the join, and room for the lags tried.
        constexpr int kLags = 40;
        const auto within = [&](std::int64_t n) { return std::clamp<std::int64_t>(n, kLags, plan.totalFrames - kLags); };
        EXPECT_EQ(bestLag(reference, joined.samples, channels, within(at - reach / 2), within(at + reach / 2), kLags), 0);
        const double snr = snrDb(reference, joined.samples, static_cast<std::size_t>(within(at - reach) * channels),
                                 static_cast<std::size_t>(within(at + reach) * channels));
        EXPECT_GE(snr, kLeastJoinSnrDb);
        RecordProperty("snr_db_at_" + std::to_string(at), std::to_string(snr));
    }

    // Made of the sources' own units.
    std::set<std::string> sourceUnits;
    for (const PlannedSource& source : plan.sources)
        for (std::string& unit : unitsOf(source.path))
            sourceUnits.insert(std::move(unit));
    const std::vector<std::string> outputUnits = unitsOf(output);
    ASSERT_EQ(static_cast<std::int64_t>(outputUnits.size()), join->outputUnits());
    std::size_t copied = 0;
    for (const std::string& unit : outputUnits)
        copied += sourceUnits.count(unit);
    RecordProperty("units_copied", std::to_string(copied) + " of " + std::to_string(outputUnits.size()));
    EXPECT_GE(double(copied) / double(outputUnits.size()), kLeastCopiedShare)
        << copied << " of " << outputUnits.size();
}

INSTANTIATE_TEST_SUITE_P(
    Streams, AacFrameJoinTable,
    ::testing::Values(
        // The parts of one encoding, cut anywhere.
        JoinCase{"Parts44100Stereo", {44100, 2, 128}, true, {61'000, 150'001, 200'000}},
        JoinCase{"Parts48000Mono", {48000, 1, 96}, true, {70'000, 70'000 + 2'500, 140'000, 190'123}},
        // A first part shorter than a unit: the units re-encoded start the stream.
        JoinCase{"ShortFirstPart44100Stereo", {44100, 2, 128}, true, {300, 100'000, 180'000}},
        // Files encoded one by one: their units fall in place when those before hold whole units.
        JoinCase{"Encoded48000Stereo", {48000, 2, 160}, false, {60 * kUnit, 130 * kUnit, 130 * kUnit + 30'001}},
        JoinCase{"Encoded44100Mono", {44100, 1, 96}, false, {50 * kUnit, 53 * kUnit, 140 * kUnit + 777}},
        JoinCase{"NoiseSubstitutedParts44100Stereo", {44100, 2, 128, true}, true, {61'000, 150'001, 200'000}}),
    [](const auto& tested) { return std::string(tested.param.name); });

} // namespace
} // namespace kestrine::testing

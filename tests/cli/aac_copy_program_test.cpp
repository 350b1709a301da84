// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/cli/program_run.h"
#include "tests/media/aac_sources.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <set>

// kestrine-join on the parts of one M4A recording: what it measures of
// each part agrees with the part's edit list, so it copies their access
// units; --reencode encodes them all.
namespace kestrine::testing {
namespace {

TEST(AacCopyProgram, JoinsThePartsOfOneRecordingByCopyingUnlessAskedToReencode)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString();
    const std::vector<std::int64_t> cuts{70'001, 140'500, 141'000, 250'123};
    ASSERT_EQ(writeAacChirp(folder + "/whole.m4a", {}, 0, cuts.back()), "");
    QStringList parts;
    std::set<std::string> partUnits;
    std::int64_t at = 0;
    for (std::size_t i = 0; i < cuts.size(); ++i) {
        const std::string part = folder + "/part" + std::to_string(i) + ".m4a";
        ASSERT_EQ(cutAacPart(folder + "/whole.m4a", part, at, cuts[i]), "");
        for (std::string& unit : unitsOf(part))
            partUnits.insert(std::move(unit));
        parts << QString::fromStdString(part);
        at = cuts[i];
    }

    for (const bool reencode : {false, true}) {
        SCOPED_TRACE(reencode ? "--reencode" : "as it chooses");
        const std::string output = folder + (reencode ? "/encoded.m4a" : "/copied.m4a");
        QStringList arguments{"-o", QString::fromStdString(output)};
        if (reencode)
            arguments << "--reencode";
        const ProgramRun run = runProgram(arguments + parts);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(statedFrames(output), cuts.back());
        EXPECT_EQ(decodeWithFfmpeg(output).warnings, "");
        const std::vector<std::string> units = unitsOf(output);
        ASSERT_FALSE(units.empty());
        std::size_t copied = 0;
        for (const std::string& unit : units)
            copied += partUnits.count(unit);
        if (reencode)
            EXPECT_EQ(copied, 0u);
        else
            EXPECT_GE(double(copied) / double(units.size()), 0.9) << copied << " of " << units.size();
    }
}

} // namespace
} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/writing/packet_sizes.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

// The sizes come back in the order they went in, whether they stayed in
// memory or went to the temporary file, and what was in memory is bounded.
namespace kestrine::testing {
namespace {

struct SizesCase {
    std::string name;
    std::size_t blockSizes;
    std::size_t count;
    bool allSame;
};

void PrintTo(const SizesCase& tested, std::ostream* out)
{
    *out << tested.name;
}

class PacketSizesTest : public ::testing::TestWithParam<SizesCase> {};

std::string nameOf(const ::testing::TestParamInfo<SizesCase>& tested)
{
    return tested.param.name;
}

std::vector<std::uint16_t> readBack(const PacketSizes& sizes)
{
    std::vector<std::uint16_t> all;
    const bool complete = sizes.forEach([&](std::span<const std::uint16_t> run) {
        all.insert(all.end(), run.begin(), run.end());
        return true;
    });
    EXPECT_TRUE(complete);
    return all;
}

TEST_P(PacketSizesTest, GivesBackEverySizeInOrder)
{
    const SizesCase& c = GetParam();
    PacketSizes sizes(c.blockSizes);
    std::vector<std::uint16_t> expected;
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < c.count; ++i) {
        const auto size = static_cast<std::uint16_t>(c.allSame ? 371 : 200 + (i * 7919) % 1500);
        sizes.add(size);
        expected.push_back(size);
        total += size;
    }

    EXPECT_EQ(sizes.count(), c.count);
    EXPECT_EQ(sizes.totalBytes(), total);
    EXPECT_EQ(sizes.commonSize(), c.allSame && c.count > 0 ? 371 : 0);
    // Everything but the last part of a block left memory.
    EXPECT_EQ(sizes.spilledForTesting(), c.count / c.blockSizes * c.blockSizes);
    EXPECT_EQ(readBack(sizes), expected);
    // Reading does not end the list: more sizes follow the first ones.
    sizes.add(9);
    expected.push_back(9);
    EXPECT_EQ(readBack(sizes), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, PacketSizesTest,
    ::testing::Values(SizesCase{"None", 4, 0, false}, SizesCase{"UnderOneBlock", 1000, 999, false},
                      SizesCase{"ExactlyOneBlock", 1000, 1000, false},
                      SizesCase{"ManyBlocksAndAPart", 1000, 70'123, false},
                      SizesCase{"ManyBlocksAllOneSize", 64, 10'000, true}),
    nameOf);

TEST(PacketSizesStopTest, StopsWhereTheReaderSaysSo)
{
    // The spilled sizes come in one run, those in memory in another.
    PacketSizes sizes(10);
    for (int i = 0; i < 105; ++i)
        sizes.add(static_cast<std::uint16_t>(i + 1));
    int runs = 0;
    EXPECT_FALSE(sizes.forEach([&](std::span<const std::uint16_t>) { return ++runs < 2; }));
    EXPECT_EQ(runs, 2);
}

} // namespace
} // namespace kestrine::testing

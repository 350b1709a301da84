// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/codec_preference.h"

#include <gtest/gtest.h>
#include <map>

namespace kestrine::testing {
namespace {

// Keys and values held in memory; records every write.
class InMemoryRegistry : public PreferenceRegistry {
public:
    class Key : public RegistryKey {
    public:
        Key(InMemoryRegistry& registry, std::string path)
            : registry_(registry), path_(std::move(path))
        {
        }
        std::optional<RegistryValue> queryValue(const std::string& name) const override
        {
            const auto& values = registry_.keys.at(path_);
            const auto it = values.find(name);
            if (it == values.end())
                return std::nullopt;
            return it->second;
        }
        bool setValue(const std::string& name, const RegistryValue& value) override
        {
            registry_.keys[path_][name] = value;
            ++registry_.writes;
            return true;
        }

    private:
        InMemoryRegistry& registry_;
        std::string path_;
    };

    std::unique_ptr<RegistryKey> openKey(const std::string& path) override
    {
        if (!keys.contains(path))
            return nullptr;
        return std::make_unique<Key>(*this, path);
    }

    std::map<std::string, std::map<std::string, RegistryValue>> keys;
    int writes = 0;
};

const std::string kKey(kCodecPreferenceKey);
const std::string kValue(kCodecFeedbackValue);

RegistryValue dword(std::uint32_t value)
{
    return {kRegistryDword,
            {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
             static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)}};
}

TEST(CodecPreferenceTest, NoKeyMeansNothingIsWritten)
{
    InMemoryRegistry registry;
    registry.keys["HKEY_CURRENT_USER\\Software\\Other"][kValue] = dword(0);
    disableCodecFeedback(registry);
    EXPECT_EQ(registry.writes, 0);
    EXPECT_EQ(registry.keys["HKEY_CURRENT_USER\\Software\\Other"][kValue], dword(0));
}

TEST(CodecPreferenceTest, KeyWithoutTheValueIsLeftAlone)
{
    InMemoryRegistry registry;
    registry.keys[kKey]["Something else"] = dword(0);
    disableCodecFeedback(registry);
    EXPECT_EQ(registry.writes, 0);
    EXPECT_FALSE(registry.keys[kKey].contains(kValue));
}

struct FeedbackCase {
    friend void PrintTo(const FeedbackCase& tested, std::ostream* out) { *out << tested.name; }
    const char* name;
    RegistryValue before;
    RegistryValue after;
    int writes;
};

class CodecFeedbackValueTest : public ::testing::TestWithParam<FeedbackCase> {};

TEST_P(CodecFeedbackValueTest, OnlyTheFirstByteBecomesOne)
{
    InMemoryRegistry registry;
    registry.keys[kKey][kValue] = GetParam().before;
    disableCodecFeedback(registry);
    EXPECT_EQ(registry.keys[kKey][kValue], GetParam().after);
    EXPECT_EQ(registry.writes, GetParam().writes);
}

RegistryValue binary(std::size_t size, std::uint8_t fill)
{
    return {kRegistryBinary, std::vector<std::uint8_t>(size, fill)};
}

RegistryValue binaryStartingWithOne(std::size_t size, std::uint8_t fill)
{
    RegistryValue value = binary(size, fill);
    value.data[0] = 1;
    return value;
}

INSTANTIATE_TEST_SUITE_P(
    Values, CodecFeedbackValueTest,
    ::testing::Values(FeedbackCase{"DwordZeroBecomesOne", dword(0), dword(1), 1},
                      FeedbackCase{"DwordKeepsItsUpperBytes", dword(0x100), dword(0x101), 1},
                      FeedbackCase{"StringKeepsTypeAndLength", {kRegistryString, {'0', '0', 0}},
                                   {kRegistryString, {1, '0', 0}}, 1},
                      FeedbackCase{"LongestValueThatFits", binary(260, 7),
                                   binaryStartingWithOne(260, 7), 1},
                      FeedbackCase{"LongerValueIsLeftAlone", binary(261, 7), binary(261, 7), 0},
                      FeedbackCase{"EmptyValueIsLeftAlone", {kRegistryBinary, {}},
                                   {kRegistryBinary, {}}, 0}),
    [](const auto& tested) { return std::string(tested.param.name); });

} // namespace
} // namespace kestrine::testing

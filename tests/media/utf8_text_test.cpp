// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/utf8_text.h"

#include <gtest/gtest.h>

namespace kestrine::testing {
namespace {

// Each piece that cannot be decoded becomes one U+FFFD; what is valid stays.
TEST(ValidUtf8, KeepsWhatIsValidAndReplacesEachUndecodablePiece)
{
    const std::string r = "\xEF\xBF\xBD";
    const struct {
        const char* name;
        std::string in;
        std::string out;
    } cases[] = {
        {"ascii", "join 01.wav", "join 01.wav"},
        {"every length of sequence", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5"},
        {"Latin-1 byte", "caf\xE9.wav", "caf" + r + ".wav"},
        {"two lone bytes", "\xFF\xFE", r + r},
        {"lone continuation", "a\x80z", "a" + r + "z"},
        {"overlong slash", "\xC0\xAF", r + r},
        {"overlong three bytes", "\xE0\x80\xAF", r + r + r},
        {"surrogate", "\xED\xA0\x80", r + r + r},
        {"past U+10FFFF", "\xF4\x90\x80\x80", r + r + r + r},
        {"cut sequence, then more", "\xE2\x82" "x", r + "x"},
        {"cut sequence at the end", "ok\xF0\x9F\x8E", "ok" + r},
        {"nul kept", std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& each : cases)
        EXPECT_EQ(validUtf8(each.in), each.out) << each.name;
}

} // namespace
} // namespace kestrine::testing

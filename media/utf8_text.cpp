// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "media/utf8_text.h"

#include <cstdint>

namespace kestrine {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// How many bytes the valid sequence at the start of `bytes` takes; 0 when
// there is none. The ranges of the second byte leave out overlong forms,
// surrogates and code points past U+10FFFF.
std::size_t validSequenceAt(std::string_view bytes, std::size_t& invalidPrefix)
{
    const auto at = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    const std::uint8_t lead = at(0);
    invalidPrefix = 1;
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    // The longest start of a sequence that could still have been valid is
    // replaced as one piece.
    for (std::size_t i = 1; i < length; ++i) {
        if (i >= bytes.size())
            return 0;
        const std::uint8_t next = at(i);
        const bool fits = i == 1 ? next >= low && next <= high : next >= 0x80 && next <= 0xBF;
        if (!fits)
            return 0;
        invalidPrefix = i + 1;
    }
    return length;
}

} // namespace

std::string validUtf8(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size());
    while (!bytes.empty()) {
        std::size_t invalid = 0;
        const std::size_t valid = validSequenceAt(bytes, invalid);
        if (valid > 0) {
            text.append(bytes.substr(0, valid));
            bytes.remove_prefix(valid);
        } else {
            text.append(kReplacement);
            bytes.remove_prefix(invalid);
        }
    }
    return text;
}

} // namespace kestrine

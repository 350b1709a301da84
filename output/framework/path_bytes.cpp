// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/framework/path_bytes.h"

namespace kestrine {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;

// The length of the valid UTF-8 sequence at `at`, or 0 when it is not one.
std::size_t validSequenceAt(const std::string& bytes, std::size_t at, char32_t& codePoint)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    char32_t value = 0;
    char32_t lowest = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, lowest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, lowest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, lowest = 0x10000;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(at + i) & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not UTF-8.
    if (value < lowest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    codePoint = value;
    return length;
}

} // namespace

QString pathFromBytes(const std::string& bytes)
{
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (std::size_t at = 0; at < bytes.size();) {
        char32_t codePoint = 0;
        const std::size_t length = validSequenceAt(bytes, at, codePoint);
        if (length == 0) {
            text.append(QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[at]))));
            ++at;
            continue;
        }
        const char32_t one[] = {codePoint};
        text.append(QString::fromUcs4(one, 1));
        at += length;
    }
    return text;
}

std::string pathToBytes(const QString& path)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(path.size()));
    for (qsizetype i = 0; i < path.size();) {
        const char16_t unit = path.at(i).unicode();
        if (unit >= kEscapeBase + 0x80 && unit <= kEscapeBase + 0xFF) {
            bytes.push_back(static_cast<char>(unit - kEscapeBase));
            ++i;
            continue;
        }
        // Everything else, up to the next escaped byte, is ordinary text.
        qsizetype end = i + 1;
        while (end < path.size() && !(path.at(end).unicode() >= kEscapeBase + 0x80 &&
                                      path.at(end).unicode() <= kEscapeBase + 0xFF))
            ++end;
        bytes += path.mid(i, end - i).toStdString();
        i = end;
    }
    return bytes;
}

} // namespace kestrine

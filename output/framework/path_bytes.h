// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QString>

#include <string>

namespace kestrine {

// A file name as the system's bytes, which need not be valid UTF-8, and the
// same name as text. Bytes that are not UTF-8 travel through the text as
// the lone surrogates U+DC80..U+DCFF, so that any name survives the round
// trip and still opens the file it named.
QString pathFromBytes(const std::string& bytes);
std::string pathToBytes(const QString& path);

} // namespace kestrine

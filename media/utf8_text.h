// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <string>
#include <string_view>

namespace kestrine {

// `bytes` as valid UTF-8, for containers whose text must be UTF-8 (Vorbis
// comments, ID3v2 as FFmpeg writes it, MP4): what is valid stays as it is,
// and each piece that cannot be decoded becomes one U+FFFD, as Unicode
// recommends. A file's name is bytes to the system, in whatever encoding
// its maker used.
std::string validUtf8(std::string_view bytes);

} // namespace kestrine

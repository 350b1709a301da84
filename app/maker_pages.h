// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

namespace kestrine {

inline constexpr char kHomePageAddress[] = "https://www.example.com/kestrine/index.htm";
inline constexpr char kContactPageAddress[] = "https://www.example.com/kestrine/contact.htm";

} // namespace kestrine

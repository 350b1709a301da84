// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kestrine {

// Value types as the registry numbers them.
inline constexpr std::uint32_t kRegistryString = 1;
inline constexpr std::uint32_t kRegistryBinary = 3;
inline constexpr std::uint32_t kRegistryDword = 4;

struct RegistryValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

// An open key of the system's settings registry.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // Nothing when the value does not exist.
    virtual std::optional<RegistryValue> queryValue(const std::string& name) const = 0;
    virtual bool setValue(const std::string& name, const RegistryValue& value) = 0;
};

// Settings that other programs (codecs) keep in the system's registry.
class PreferenceRegistry {
public:
    virtual ~PreferenceRegistry() = default;
    // path is "HKEY_CURRENT_USER\Software\..."; nothing when the key cannot be
    // opened for reading and writing.
    virtual std::unique_ptr<RegistryKey> openKey(const std::string& path) = 0;
};

} // namespace kestrine

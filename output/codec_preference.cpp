// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/codec_preference.h"

namespace kestrine {

namespace {

class AbsentRegistry : public PreferenceRegistry {
public:
    std::unique_ptr<RegistryKey> openKey(const std::string&) override { return nullptr; }
};

} // namespace

std::unique_ptr<PreferenceRegistry> systemPreferenceRegistry()
{
    return std::make_unique<AbsentRegistry>();
}

void disableCodecFeedback(PreferenceRegistry& registry)
{
    const std::unique_ptr<RegistryKey> key = registry.openKey(std::string(kCodecPreferenceKey));
    if (!key)
        return;
    const std::string name(kCodecFeedbackValue);
    std::optional<RegistryValue> value = key->queryValue(name);
    if (!value || value->data.size() > kCodecPreferenceMaxBytes || value->data.empty())
        return;
    // Only the first byte: a DWORD keeps its upper bytes (0x100 becomes 0x101).
    value->data[0] = 1;
    key->setValue(name, *value);
}

void disableCodecFeedback()
{
    const std::unique_ptr<PreferenceRegistry> registry = systemPreferenceRegistry();
    disableCodecFeedback(*registry);
}

} // namespace kestrine

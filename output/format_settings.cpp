// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/format_settings.h"

#include "platform/settings_store.h"

namespace kestrine {
namespace {

const QString kFormatSection = QStringLiteral("Format");

struct StoredValue {
    const char* name;
    int AudioFormatRequest::*field;
};

constexpr StoredValue kStoredValues[] = {
    {"SampleRate", &AudioFormatRequest::sampleRate},   {"Channels", &AudioFormatRequest::channels},
    {"BitsPerSample", &AudioFormatRequest::bitsPerSample}, {"BitRate", &AudioFormatRequest::bitRateKbps},
    {"Mp3Quality", &AudioFormatRequest::vbrQuality},
};

} // namespace

AudioFormatRequest readFormatRequest(const SettingsStore& store)
{
    AudioFormatRequest request;
    for (const StoredValue& value : kStoredValues)
        request.*value.field = store.readInt(kFormatSection, QString::fromLatin1(value.name), request.*value.field);
    return request;
}

void writeFormatRequest(SettingsStore& store, const AudioFormatRequest& request)
{
    for (const StoredValue& value : kStoredValues)
        store.writeInt(kFormatSection, QString::fromLatin1(value.name), request.*value.field);
}

} // namespace kestrine

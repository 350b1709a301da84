// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/format_settings.h"

#include "platform/settings_store.h"

#include <cmath>

namespace kestrine {
namespace {

const QString kFormatSection = QStringLiteral("Format");
const QString kLoudnessName = QStringLiteral("Loudness"); // a LoudnessMode
const QString kLoudnessTargetName = QStringLiteral("LoudnessTarget"); // whole LUFS

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
    const int mode = store.readInt(kFormatSection, kLoudnessName, static_cast<int>(LoudnessMode::Leave));
    // A mode this version does not know leaves the sound alone.
    if (mode >= static_cast<int>(LoudnessMode::Leave) && mode <= static_cast<int>(LoudnessMode::Tags))
        request.loudness.mode = static_cast<LoudnessMode>(mode);
    request.loudness.target = store.readInt(kFormatSection, kLoudnessTargetName,
                                            static_cast<int>(kDefaultLoudnessTarget));
    return request;
}

void writeFormatRequest(SettingsStore& store, const AudioFormatRequest& request)
{
    for (const StoredValue& value : kStoredValues)
        store.writeInt(kFormatSection, QString::fromLatin1(value.name), request.*value.field);
    store.writeInt(kFormatSection, kLoudnessName, static_cast<int>(request.loudness.mode));
    store.writeInt(kFormatSection, kLoudnessTargetName, static_cast<int>(std::lround(request.loudness.target)));
}

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QString>

namespace kestrine {

inline constexpr char kCompanyName[] = "Tallowmere";

// The user's settings, by section and name. Every call reads or writes the
// backing store directly, so two windows never see stale values.
class SettingsStore {
public:
    // Organisation "Tallowmere"; application = the executable's base name.
    SettingsStore();
    SettingsStore(QString organization, QString application);

    int readInt(const QString& section, const QString& setting, int defaultValue) const;
    QString readText(const QString& section, const QString& setting,
                     const QString& defaultValue) const;
    void writeInt(const QString& section, const QString& setting, int value);
    void writeText(const QString& section, const QString& setting, const QString& value);

private:
    QString organization_;
    QString application_;
};

} // namespace kestrine

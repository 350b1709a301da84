// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "platform/settings_store.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>

namespace kestrine {

namespace {

QString executableBaseName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QString settingKey(const QString& section, const QString& setting)
{
    return section + QLatin1Char('/') + setting;
}

} // namespace

SettingsStore::SettingsStore() : SettingsStore(QString::fromLatin1(kCompanyName), executableBaseName())
{
}

SettingsStore::SettingsStore(QString organization, QString application)
    : organization_(std::move(organization)), application_(std::move(application))
{
}

int SettingsStore::readInt(const QString& section, const QString& setting, int defaultValue) const
{
    const QSettings settings(organization_, application_);
    const QVariant value = settings.value(settingKey(section, setting));
    bool ok = false;
    const int number = value.toInt(&ok);
    return value.isValid() && ok ? number : defaultValue;
}

QString SettingsStore::readText(const QString& section, const QString& setting,
                                const QString& defaultValue) const
{
    const QSettings settings(organization_, application_);
    const QVariant value = settings.value(settingKey(section, setting));
    return value.isValid() ? value.toString() : defaultValue;
}

void SettingsStore::writeInt(const QString& section, const QString& setting, int value)
{
    QSettings settings(organization_, application_);
    settings.setValue(settingKey(section, setting), value);
}

void SettingsStore::writeText(const QString& section, const QString& setting, const QString& value)
{
    QSettings settings(organization_, application_);
    settings.setValue(settingKey(section, setting), value);
}

} // namespace kestrine

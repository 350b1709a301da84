// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "platform/settings_store.h"

#include <QSettings>
#include <gtest/gtest.h>

namespace kestrine {
namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings(organization, application).clear();
    }
    const QString organization = QStringLiteral("Tallowmere");
    const QString application = QStringLiteral("kestrine-settings-test");
};

TEST_F(SettingsStoreTest, MissingValuesReadAsTheCallersDefault)
{
    const SettingsStore store(organization, application);
    EXPECT_EQ(store.readInt("Settings", "OutputWidth", 352), 352);
    EXPECT_EQ(store.readText("Settings", "OutputFrameRate", "23.976"), "23.976");
    EXPECT_EQ(store.readText("Option", "LastPhotoFolder", QString()), QString());
}

TEST_F(SettingsStoreTest, WrittenValuesReadBackWithTheirTypes)
{
    SettingsStore store(organization, application);
    store.writeInt("Settings", "OutputHigh", -1);
    store.writeText("Settings", "OutputName", QStringLiteral("/tmp/Größe ünd 声.wav"));
    EXPECT_EQ(store.readInt("Settings", "OutputHigh", 240), -1);
    EXPECT_EQ(store.readText("Settings", "OutputName", {}), QStringLiteral("/tmp/Größe ünd 声.wav"));

    const QSettings raw(organization, application);
    EXPECT_EQ(raw.value("Settings/OutputHigh").typeId(), QMetaType::Int);
}

TEST_F(SettingsStoreTest, SectionsKeepSameNamedSettingsApart)
{
    SettingsStore store(organization, application);
    store.writeInt("DexVideoCompress", "CompressorNumber", -1);
    store.writeInt("DexAudioCompress", "CompressorNumber", 4);
    EXPECT_EQ(store.readInt("DexVideoCompress", "CompressorNumber", 0), -1);
    EXPECT_EQ(store.readInt("DexAudioCompress", "CompressorNumber", 0), 4);
}

TEST_F(SettingsStoreTest, ATextWhereANumberBelongsReadsAsTheDefault)
{
    SettingsStore store(organization, application);
    store.writeText("Settings", "OutputWidth", QStringLiteral("wide"));
    EXPECT_EQ(store.readInt("Settings", "OutputWidth", 352), 352);
}

TEST_F(SettingsStoreTest, TwoStoresSeeEachOthersWritesAtOnce)
{
    SettingsStore writer(organization, application);
    const SettingsStore reader(organization, application);
    EXPECT_EQ(reader.readInt("Settings", "OutputFrameRateIndex", 0), 0);
    writer.writeInt("Settings", "OutputFrameRateIndex", 5);
    EXPECT_EQ(reader.readInt("Settings", "OutputFrameRateIndex", 0), 5);
}

} // namespace
} // namespace kestrine

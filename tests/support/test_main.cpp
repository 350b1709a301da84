// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#ifdef KESTRINE_TEST_WIDGETS
#include <QApplication>
#else
#include <QCoreApplication>
#endif
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Tests run headless, and with a home and settings folder of their own, so
// they never see or change the user's real settings.
int main(int argc, char** argv)
{
    QTemporaryDir sandbox;
    if (!sandbox.isValid())
        return 2;
    qputenv("HOME", QDir(sandbox.path()).filePath("home").toUtf8());
    qputenv("XDG_CONFIG_HOME", QDir(sandbox.path()).filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", QDir(sandbox.path()).filePath("data").toUtf8());
    qputenv("XDG_CACHE_HOME", QDir(sandbox.path()).filePath("cache").toUtf8());
    QDir().mkpath(QDir(sandbox.path()).filePath("home"));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

#ifdef KESTRINE_TEST_WIDGETS
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    QCoreApplication::setApplicationName(QStringLiteral("kestrine"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

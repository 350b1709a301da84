// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "controls/resource_paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QRegularExpression>
#include <QSet>
#include <QtEndian>
#include <gtest/gtest.h>

namespace kestrine {
namespace {

TEST(Resources, HoverSoundIsShortStereoPcm)
{
    QFile file(soundResourcePath(kHoverSoundId));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray wav = file.readAll();
    ASSERT_EQ(wav.size(), 44 + 5148);
    auto u16 = [&](int at) { return qFromLittleEndian<quint16>(wav.constData() + at); };
    auto u32 = [&](int at) { return qFromLittleEndian<quint32>(wav.constData() + at); };
    EXPECT_EQ(wav.left(4), "RIFF");
    EXPECT_EQ(u32(4), quint32(wav.size() - 8));
    EXPECT_EQ(wav.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(u16(20), 1);     // PCM
    EXPECT_EQ(u16(22), 2);     // channels
    EXPECT_EQ(u32(24), 22050u); // frames per second
    EXPECT_EQ(u16(34), 16);    // bits
    EXPECT_EQ(wav.mid(36, 4), "data");
    EXPECT_EQ(u32(40), 5148u);
    // It ends in silence, so it never stops on a click.
    EXPECT_EQ(u32(wav.size() - 4), 0u);
}

TEST(Resources, ImagesLoad)
{
    const std::vector<QString> paths = {
        bitmapResourcePath(kBackgroundTileId), cursorResourcePath(kHoverCursorId),
        iconResourcePath(kAppIconId),
    };
    for (const QString& path : paths) {
        QImageReader reader(path);
        const QImage image = reader.read();
        EXPECT_FALSE(image.isNull()) << path.toStdString() << ": " << reader.errorString().toStdString();
    }
    const QImage cursor(cursorResourcePath(kHoverCursorId));
    EXPECT_TRUE(cursor.rect().contains(cursorHotSpot(kHoverCursorId)));
}

TEST(Resources, UnknownIdsHaveNoResource)
{
    EXPECT_TRUE(iconResourcePath(139).isEmpty());
    EXPECT_TRUE(bitmapResourcePath(140).isEmpty());
    EXPECT_TRUE(cursorResourcePath(140).isEmpty());
    EXPECT_TRUE(soundResourcePath(141).isEmpty());
    EXPECT_TRUE(stringResource(102).isEmpty());
    EXPECT_EQ(stringResource(kAboutMenuStringId), QStringLiteral("&About Kestrine"));
}

// The build copies the help beside the executables; every link between the
// pages, and every picture they show, must be there too.
TEST(HelpPages, AreBesideTheExecutableAndLinkOnlyToEachOther)
{
    const QDir help(QCoreApplication::applicationDirPath() + QStringLiteral("/help"));
    ASSERT_TRUE(help.exists(QStringLiteral("Introduction.htm"))) << help.path().toStdString();
    const QStringList pages = help.entryList({QStringLiteral("*.htm")}, QDir::Files);
    EXPECT_GE(pages.size(), 7);

    const QRegularExpression reference(QStringLiteral(R"re((?:href|src)="([^"#]+)")re"));
    QSet<QString> linkedPages;
    for (const QString& page : pages) {
        QFile file(help.filePath(page));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        EXPECT_TRUE(html.contains(QStringLiteral("<title>"))) << page.toStdString();
        auto matches = reference.globalMatch(html);
        while (matches.hasNext()) {
            const QString target = matches.next().captured(1);
            EXPECT_TRUE(help.exists(target)) << page.toStdString() << " -> " << target.toStdString();
            if (target.endsWith(QLatin1String(".htm")))
                linkedPages.insert(target);
        }
    }
    for (const QString& page : pages)
        EXPECT_TRUE(linkedPages.contains(page)) << page.toStdString() << " is linked from nowhere";
}

} // namespace
} // namespace kestrine

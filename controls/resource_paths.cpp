// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "controls/resource_paths.h"

#include <QDir>
#include <QFileInfo>
#include <array>
#include <utility>

namespace kestrine {

namespace {

constexpr std::array<std::pair<int, const char*>, 10> kIcons{{
    {kAppIconId, ":/icons/kestrine.svg"},
    {kAddIconId, ":/icons/add.svg"},
    {kOptionsIconId, ":/icons/options.svg"},
    {kHelpIconId, ":/icons/help.svg"},
    {kMoveUpIconId, ":/icons/move-up.svg"},
    {kMoveDownIconId, ":/icons/move-down.svg"},
    {kDeleteIconId, ":/icons/delete.svg"},
    {kDeleteAllIconId, ":/icons/delete-all.svg"},
    {kExitIconId, ":/icons/exit.svg"},
    {kJoinIconId, ":/icons/join.svg"},
}};

const QString kHelpFirstPage = QStringLiteral("Introduction.htm");

// The cursor is drawn on a 32 x 32 grid with the fingertip here.
constexpr QPoint kHandHotSpot(11, 2);

} // namespace

QString iconResourcePath(int iconId)
{
    for (const auto& [id, path] : kIcons) {
        if (id == iconId)
            return QString::fromLatin1(path);
    }
    return {};
}

QString bitmapResourcePath(int bitmapId)
{
    return bitmapId == kBackgroundTileId ? QStringLiteral(":/images/background-tile.svg") : QString();
}

QString cursorResourcePath(int cursorId)
{
    return cursorId == kHoverCursorId ? QStringLiteral(":/cursors/hand.svg") : QString();
}

QString soundResourcePath(int soundId)
{
    return soundId == kHoverSoundId ? QStringLiteral(":/sounds/hover.wav") : QString();
}

QPoint cursorHotSpot(int cursorId)
{
    return cursorId == kHoverCursorId ? kHandHotSpot : QPoint();
}

HelpLookup findHelpPage(const QString& executableFolder, const QString& page)
{
    const QString name = page.isEmpty() ? QString(kHelpFirstPage) : page;
    const QDir executable(executableFolder);
    HelpLookup lookup;
    lookup.searched = {
        QDir::cleanPath(executable.filePath(QStringLiteral("help"))),
        QDir::cleanPath(executable.filePath(QStringLiteral(KESTRINE_INSTALLED_HELP_DIR))),
    };
    for (const QString& folder : lookup.searched) {
        const QFileInfo found(QDir(folder).filePath(name));
        if (found.isFile()) {
            lookup.page = found.filePath();
            break;
        }
    }
    return lookup;
}

QString missingHelpText(const HelpLookup& lookup)
{
    QStringList folders;
    for (const QString& folder : lookup.searched)
        folders.append(QDir::toNativeSeparators(folder));
    return QStringLiteral("The help pages are missing: %1 is in none of these folders:\n%2")
        .arg(kHelpFirstPage, folders.join(u'\n'));
}

QString stringResource(int stringId)
{
    return stringId == kAboutMenuStringId ? QStringLiteral("&About Kestrine") : QString();
}

} // namespace kestrine

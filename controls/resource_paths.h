// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>

namespace kestrine {

// The program's resources by their numeric ids, so that dialogs and controls
// name them the same way everywhere.
inline constexpr int kAboutMenuStringId = 101;
inline constexpr int kAppIconId = 128;
inline constexpr int kBackgroundTileId = 139;
inline constexpr int kAddIconId = 140;
inline constexpr int kHoverCursorId = 141;
inline constexpr int kHoverSoundId = 144;
inline constexpr int kOptionsIconId = 146;
inline constexpr int kHelpIconId = 148;
inline constexpr int kMoveUpIconId = 150;
inline constexpr int kMoveDownIconId = 151;
inline constexpr int kDeleteIconId = 152;
inline constexpr int kDeleteAllIconId = 154;
inline constexpr int kExitIconId = 159;
inline constexpr int kJoinIconId = 160;

// Each returns the Qt resource path (":/...") of the id, or an empty text for
// an id the program does not have.
QString iconResourcePath(int iconId);
QString bitmapResourcePath(int bitmapId);
QString cursorResourcePath(int cursorId);
QString soundResourcePath(int soundId);

// Where the cursor points, in the cursor image's own pixels.
QPoint cursorHotSpot(int cursorId);

// The text of a string resource; empty for an unknown id.
QString stringResource(int stringId);

// The help's first page, and every folder searched for it, so that a missing
// help can say where it should have been.
struct HelpLookup {
    QString page; // empty when no folder holds it
    QStringList searched;
};

// Looks beside the executable (the build folder) and then where an install
// puts the help relative to the executable's folder.
// `page` defaults to the help's first page.
HelpLookup findHelpPage(const QString& executableFolder, const QString& page = {});
// What to tell the user when the lookup found nothing.
QString missingHelpText(const HelpLookup& lookup);

} // namespace kestrine

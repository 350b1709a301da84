// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/marker_list_paths.h"

#include "cli/exit_codes.h"
#include "output/framework/output_path_check.h"
#include "output/framework/path_bytes.h"
#include "platform/user_dialogs.h"

namespace kestrine {

MarkerOptions markerOptionsOf(const JoinOptions& options)
{
    MarkerOptions markers;
    markers.inFile = options.markers;
    if (!options.cueSheet.isEmpty())
        markers.cueSheet = pathToBytes(options.cueSheet);
    if (!options.labelList.isEmpty())
        markers.labelList = pathToBytes(options.labelList);
    return markers;
}

TagOptions tagOptionsOf(const JoinOptions& options)
{
    TagOptions tags;
    tags.fromSources = options.tags;
    tags.title = options.title;
    tags.artist = options.artist;
    tags.album = options.album;
    if (!options.cover.isEmpty())
        tags.coverFile = pathToBytes(options.cover);
    return tags;
}

int checkMarkerListsReplaceable(const JoinOptions& options, UserDialogs& dialogs)
{
    for (const QString& list : {options.cueSheet, options.labelList}) {
        if (list.isEmpty() || options.overwrite || !identityOf(pathToBytes(list)))
            continue;
        dialogs.inform(QStringLiteral("%1 exists; use -y to replace it").arg(list));
        return kExitFailed;
    }
    return kExitJoined;
}

} // namespace kestrine

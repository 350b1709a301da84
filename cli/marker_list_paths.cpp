// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/marker_list_paths.h"

#include "cli/console_join.h"
#include "output/output_path_check.h"
#include "output/path_bytes.h"
#include "platform/user_dialogs.h"

#include <QFileInfo>

namespace kestrine {
namespace {

struct MarkerList {
    QString what;
    QString path;
    QString other;
};

int refuse(UserDialogs& dialogs, const QString& text, int code)
{
    dialogs.inform(text);
    return code;
}

int checkOne(const MarkerList& list, const JoinOptions& options, const std::vector<std::string>& sources,
             UserDialogs& dialogs)
{
    const std::string path = pathToBytes(list.path);
    switch (checkSideFilePath(path, {}, sources)) {
    case result::kOk:
        break;
    case result::kOutputIsSource:
        return refuse(dialogs,
                      QStringLiteral("the %1 %2 is also one of the files to join").arg(list.what, list.path),
                      kExitUsage);
    default:
        return refuse(dialogs,
                      QFileInfo(list.path).isDir()
                          ? QStringLiteral("the %1 %2 is a folder").arg(list.what, list.path)
                          : QStringLiteral("the %1 %2 is not a regular file").arg(list.what, list.path),
                      kExitFailed);
    }
    if (failed(checkSideFilePath(path, {pathToBytes(options.output)}, {})))
        return refuse(dialogs, QStringLiteral("the %1 %2 is the output file").arg(list.what, list.path),
                      kExitUsage);
    if (!list.other.isEmpty() && failed(checkSideFilePath(path, {pathToBytes(list.other)}, {})))
        return refuse(dialogs, QStringLiteral("the cue sheet and the label list are the same file %1")
                                   .arg(list.path),
                      kExitUsage);
    if (identityOf(path) && !options.overwrite)
        return refuse(dialogs, QStringLiteral("%1 exists; use -y to replace it").arg(list.path), kExitFailed);
    return kExitJoined;
}

} // namespace

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

int checkMarkerListPaths(const JoinOptions& options, UserDialogs& dialogs)
{
    std::vector<std::string> sources;
    for (const QString& file : options.files)
        sources.push_back(pathToBytes(file));
    for (const MarkerList& list : {MarkerList{QStringLiteral("cue sheet"), options.cueSheet, options.labelList},
                                   MarkerList{QStringLiteral("label list"), options.labelList, options.cueSheet}}) {
        if (list.path.isEmpty())
            continue;
        if (const int refused = checkOne(list, options, sources, dialogs); refused != kExitJoined)
            return refused;
    }
    return kExitJoined;
}

} // namespace kestrine

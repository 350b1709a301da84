// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/join_paths.h"

#include "output/framework/media_result.h"
#include "output/framework/output_formats.h"
#include "output/framework/output_path_check.h"
#include "output/framework/path_bytes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <optional>

namespace kestrine {
namespace {

using Kind = JoinPathProblem::Kind;
using Role = JoinPathProblem::Role;

// Track numbers in a cue sheet have two digits.
constexpr std::size_t kMostCueTracks = 99;

// One path of the join with the names it really writes.
struct Written {
    Role role;
    std::string path;
    std::string target;  // where writing `path` lands
    std::string partial; // the partial file beside the target
};

JoinPathProblem problemOf(Kind kind, const Written& written, std::string other = {}, int error = 0)
{
    JoinPathProblem problem;
    problem.kind = kind;
    problem.role = written.role;
    problem.path = written.path;
    problem.other = std::move(other);
    problem.error = error;
    return problem;
}

// Everything about one path that does not depend on the others.
JoinPathProblem checkOne(Written& written, const std::vector<std::string>& sources)
{
    const WriteTarget target = writeTargetOf(written.path);
    const bool throughLink = target.path != written.path;
    switch (target.error) {
    case 0:
        break;
    case ELOOP:
        return problemOf(Kind::LinkLoop, written);
    case ENAMETOOLONG:
        return problemOf(Kind::NameTooLong, written);
    case ENOENT:
    case ENOTDIR:
        return throughLink ? problemOf(Kind::LinkIntoNowhere, written, target.path)
                           : problemOf(Kind::NoFolder, written, folderOf(written.path));
    case EACCES:
        return problemOf(Kind::CannotWrite, written, folderOf(target.path), EACCES);
    default:
        return problemOf(Kind::CannotLookUp, written, {}, target.error);
    }
    written.target = target.path;
    written.partial = partialPathOf(target.path);

    const std::string folder = folderOf(target.path);
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        return problemOf(Kind::CannotWrite, written, folder, errno);
    const std::size_t nameStart = target.path.rfind('/') == std::string::npos ? 0 : target.path.rfind('/') + 1;
    if (target.path.size() - nameStart > NAME_MAX)
        return problemOf(Kind::NameTooLong, written);

    struct stat status {};
    if (::stat(target.path.c_str(), &status) == 0 && !S_ISREG(status.st_mode))
        return problemOf(Kind::NotRegularFile, written, {}, S_ISDIR(status.st_mode) ? EISDIR : 0);
    // A link at the partial file's name is a leftover that the join replaces.
    if (::lstat(written.partial.c_str(), &status) == 0 && !S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode))
        return problemOf(Kind::PartialInTheWay, written, written.partial, S_ISDIR(status.st_mode) ? EISDIR : 0);

    switch (checkOutputPath(written.target, sources)) {
    case result::kOk:
        return {};
    case result::kOutputIsSource:
        return problemOf(Kind::IsSource, written);
    default:
        return problemOf(Kind::CannotLookUp, written, {}, EIO);
    }
}

// Whether two names are one file: by identity where both exist, by the
// name with its folders' links resolved where either does not yet.
bool sameFile(const std::string& one, const std::string& other)
{
    const std::optional<FileIdentity> oneIdentity = identityOf(one);
    const std::optional<FileIdentity> otherIdentity = identityOf(other);
    if (oneIdentity && otherIdentity)
        return *oneIdentity == *otherIdentity;
    std::error_code error;
    const std::filesystem::path oneResolved = std::filesystem::weakly_canonical(one, error);
    if (error)
        return false;
    const std::filesystem::path otherResolved = std::filesystem::weakly_canonical(other, error);
    return !error && oneResolved == otherResolved;
}

JoinPathProblem checkPair(const Written& one, const Written& other)
{
    JoinPathProblem problem;
    problem.kind = Kind::SameFile;
    if (sameFile(one.target, other.target) || sameFile(one.partial, other.partial)) {
        // Told from the side list's point of view: "the cue sheet is the output file".
        const bool oneFirst = other.role == Role::Output || one.role != Role::Output;
        const Written& named = oneFirst ? one : other;
        const Written& second = oneFirst ? other : one;
        problem.role = named.role, problem.path = named.path;
        problem.otherRole = second.role, problem.other = second.path;
        return problem;
    }
    for (const auto& [file, writtenInto] : {std::pair{&one, &other}, std::pair{&other, &one}}) {
        if (sameFile(file->target, writtenInto->partial)) {
            problem.role = file->role, problem.path = file->path;
            problem.otherRole = writtenInto->role, problem.other = writtenInto->path;
            problem.otherIsPartial = true;
            return problem;
        }
    }
    return {};
}

QString roleName(Role role)
{
    switch (role) {
    case Role::CueSheet:
        return QStringLiteral("cue sheet");
    case Role::LabelList:
        return QStringLiteral("label list");
    case Role::Output:
        break;
    }
    return QStringLiteral("output file");
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

JoinPathProblem checkJoinPaths(const JoinPaths& paths, const std::vector<std::string>& sources)
{
    if (paths.output.empty()) {
        JoinPathProblem problem;
        problem.kind = Kind::NoOutputName;
        return problem;
    }
    if (isUnwritableMediaName(paths.output)) {
        JoinPathProblem problem;
        problem.kind = Kind::UnwritableFormat;
        problem.path = paths.output;
        return problem;
    }
    if (!paths.cueSheet.empty() && sources.size() > kMostCueTracks) {
        JoinPathProblem problem;
        problem.kind = Kind::TooManyCueTracks;
        problem.role = Role::CueSheet;
        problem.path = paths.cueSheet;
        problem.sourceCount = sources.size();
        return problem;
    }
    std::vector<Written> written;
    for (const auto& [role, path] : {std::pair{Role::Output, &paths.output}, std::pair{Role::CueSheet, &paths.cueSheet},
                                     std::pair{Role::LabelList, &paths.labelList}}) {
        if (path->empty())
            continue;
        written.push_back({role, *path, {}, {}});
        if (JoinPathProblem problem = checkOne(written.back(), sources))
            return problem;
    }
    for (std::size_t i = 0; i < written.size(); ++i) {
        for (std::size_t j = i + 1; j < written.size(); ++j) {
            if (JoinPathProblem problem = checkPair(written[i], written[j]))
                return problem;
        }
    }
    return {};
}

QString joinPathProblemText(const JoinPathProblem& problem)
{
    const QString path = pathFromBytes(problem.path);
    const QString other = pathFromBytes(problem.other);
    const QString what = QStringLiteral("The %1 %2").arg(roleName(problem.role), path);
    switch (problem.kind) {
    case Kind::None:
        return {};
    case Kind::NoOutputName:
        return QStringLiteral("No output file has been given.");
    case Kind::UnwritableFormat:
        return QString::fromStdString(unwritableFormatText(problem.path));
    case Kind::IsSource:
        return QStringLiteral("%1 is also one of the files to join.").arg(what);
    case Kind::NotRegularFile:
        return problem.error == EISDIR ? QStringLiteral("%1 is a folder.").arg(what)
                                       : QStringLiteral("%1 is not a regular file.").arg(what);
    case Kind::PartialInTheWay:
        return QStringLiteral("%1 cannot be written: it is written as %2 until it is complete, and %3 "
                              "stands at that name.")
            .arg(what, other,
                 problem.error == EISDIR ? QStringLiteral("a folder")
                                         : QStringLiteral("something that is not a regular file"));
    case Kind::SameFile:
        if (problem.otherIsPartial)
            return QStringLiteral("%1 is the partial file that the %2 %3 is written into until it is complete.")
                .arg(what, roleName(problem.otherRole), other);
        if (problem.otherRole == Role::Output)
            return QStringLiteral("%1 is the output file.").arg(what);
        return QStringLiteral("The cue sheet and the label list are the same file %1.").arg(path);
    case Kind::NoFolder:
        return QStringLiteral("%1 cannot be written: its folder %2 does not exist.").arg(what, other);
    case Kind::CannotWrite:
        return QStringLiteral("%1 cannot be written in %2: %3.").arg(what, other, systemReason(problem.error));
    case Kind::NameTooLong:
        return QStringLiteral("The name of the %1 %2 is longer than the system allows.")
            .arg(roleName(problem.role), path);
    case Kind::LinkLoop:
        return QStringLiteral("%1 is a link that leads round in a loop.").arg(what);
    case Kind::LinkIntoNowhere:
        return QStringLiteral("%1 is a link to %2, whose folder does not exist.").arg(what, other);
    case Kind::CannotLookUp:
        return QStringLiteral("%1 cannot be looked at: %2.").arg(what, systemReason(problem.error));
    case Kind::TooManyCueTracks:
        return QStringLiteral("A cue sheet holds at most %1 tracks, one per file, and %2 files were given: "
                              "join them without the cue sheet %3, or with a label list, which has no "
                              "such limit.")
            .arg(kMostCueTracks)
            .arg(problem.sourceCount)
            .arg(path);
    }
    return {};
}

} // namespace kestrine

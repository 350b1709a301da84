// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/output_path_check.h"

#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <optional>

namespace kestrine {
namespace {

enum class Lookup { Found, Missing, Unknown };

// Follows links, as opening the path would.
Lookup lookUp(const std::string& path, FileIdentity& identity, mode_t& mode)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Lookup::Missing : Lookup::Unknown;
    identity = {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
    mode = status.st_mode;
    return Lookup::Found;
}

// The output's own file, or the partial file, against every source.
MediaResult checkAgainstSources(const FileIdentity& written, const std::vector<std::string>& sources)
{
    for (const std::string& source : sources) {
        FileIdentity identity;
        mode_t mode = 0;
        const Lookup found = lookUp(source, identity, mode);
        if (found == Lookup::Unknown || (found == Lookup::Found && identity == written))
            return result::kOutputIsSource;
    }
    return result::kOk;
}

} // namespace

std::optional<FileIdentity> identityOf(const std::string& path)
{
    FileIdentity identity;
    mode_t mode = 0;
    if (lookUp(path, identity, mode) != Lookup::Found)
        return std::nullopt;
    return identity;
}

MediaResult checkOutputPath(const std::string& output, const std::vector<std::string>& sources)
{
    if (output.empty())
        return result::kNoFileName;
    for (const std::string& path : {output, partialPathOf(output)}) {
        FileIdentity identity;
        mode_t mode = 0;
        switch (lookUp(path, identity, mode)) {
        case Lookup::Missing:
            continue; // a new file cannot be anything that is read
        case Lookup::Unknown:
            return result::kOutputIsSource;
        case Lookup::Found:
            if (!S_ISREG(mode))
                return path == output ? result::kOutputNotRegularFile : result::kCannotCreateOutput;
            if (const MediaResult checked = checkAgainstSources(identity, sources); failed(checked))
                return checked;
        }
    }
    return result::kOk;
}

MediaResult checkSideFilePath(const std::string& path, const std::vector<std::string>& written,
                              const std::vector<std::string>& sources)
{
    std::vector<std::string> taken = sources;
    taken.insert(taken.end(), written.begin(), written.end());
    if (const MediaResult checked = checkOutputPath(path, taken); failed(checked))
        return checked;
    // Files not written yet have no identity: their names are compared, with
    // the links in the folders that exist resolved.
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, error);
    if (error)
        return result::kOutputIsSource;
    for (const std::string& other : written) {
        const std::filesystem::path otherResolved = std::filesystem::weakly_canonical(other, error);
        if (error || otherResolved == resolved)
            return result::kOutputIsSource;
    }
    return result::kOk;
}

std::string partialPathOf(const std::string& output)
{
    return output + ".part";
}

} // namespace kestrine

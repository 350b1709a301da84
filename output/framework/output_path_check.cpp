// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "output/framework/output_path_check.h"

#include <sys/stat.h>

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
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
    const WriteTarget target = writeTargetOf(output);
    if (target.error == ELOOP || target.error == ENAMETOOLONG)
        return result::resultOfSystemError(target.error);
    for (const std::string& path : {target.path, partialPathOf(target.path)}) {
        FileIdentity identity;
        mode_t mode = 0;
        switch (lookUp(path, identity, mode)) {
        case Lookup::Missing:
            continue; // a new file cannot be anything that is read
        case Lookup::Unknown:
            return result::kOutputIsSource;
        case Lookup::Found:
            if (!S_ISREG(mode))
                return path == target.path ? result::kOutputNotRegularFile : result::kCannotCreateOutput;
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

WriteTarget writeTargetOf(const std::string& path)
{
    // The system gives up on a chain of links this long too.
    constexpr int kMostLinks = 40;
    WriteTarget target{path, 0};
    for (int links = 0; links <= kMostLinks; ++links) {
        struct stat status {};
        if (::lstat(target.path.c_str(), &status) != 0) {
            // A name not taken yet is where the new file goes, if its folder is there.
            if (errno == ENOENT || errno == ENOTDIR) {
                struct stat folder {};
                if (::stat(folderOf(target.path).c_str(), &folder) != 0)
                    target.error = errno;
                else if (!S_ISDIR(folder.st_mode))
                    target.error = ENOTDIR;
                return target;
            }
            target.error = errno;
            return target;
        }
        if (!S_ISLNK(status.st_mode))
            return target;
        std::string destination(PATH_MAX, '\0');
        const ssize_t length = ::readlink(target.path.c_str(), destination.data(), destination.size());
        if (length < 0) {
            target.error = errno;
            return target;
        }
        destination.resize(static_cast<std::size_t>(length));
        if (destination.empty()) {
            target.error = ENOENT;
            return target;
        }
        // A relative link is read from the folder the link is in.
        target.path = destination.front() == '/' ? destination : folderOf(target.path) + "/" + destination;
    }
    target.error = ELOOP;
    return target;
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string partialPathOf(const std::string& output)
{
    static constexpr char kSuffix[] = ".part";
    constexpr std::size_t kSuffixBytes = sizeof kSuffix - 1;
    const std::size_t nameStart = output.rfind('/') == std::string::npos ? 0 : output.rfind('/') + 1;
    const std::size_t nameBytes = output.size() - nameStart;
    if (nameBytes + kSuffixBytes <= NAME_MAX)
        return output + kSuffix;
    // FNV-1a over the whole name: names that share their first 230 bytes
    // still get partial files of their own.
    std::uint64_t digest = 0xcbf29ce484222325ull;
    for (std::size_t i = nameStart; i < output.size(); ++i) {
        digest ^= static_cast<unsigned char>(output[i]);
        digest *= 0x100000001b3ull;
    }
    constexpr std::size_t kDigestBytes = 17; // "~" and 16 hex digits
    char digestText[kDigestBytes + 1];
    std::snprintf(digestText, sizeof digestText, "~%016llx", static_cast<unsigned long long>(digest));
    std::size_t kept = NAME_MAX - kSuffixBytes - kDigestBytes;
    // Cut between characters, so that the name still reads as text.
    while (kept > 0 && (static_cast<unsigned char>(output[nameStart + kept]) & 0xC0) == 0x80)
        --kept;
    return output.substr(0, nameStart + kept) + digestText + kSuffix;
}

} // namespace kestrine

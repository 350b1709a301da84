// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/support/unprivileged.h"

#include <csignal>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kestrine::testing {

std::optional<int> runUnprivileged(const std::function<int()>& body, std::chrono::seconds limit)
{
    if (::geteuid() != 0)
        return body();

    // Looked up before the fork: the child does as little as it can.
    uid_t uid = 65534;
    gid_t gid = 65534;
    if (const passwd* nobody = ::getpwnam("nobody")) {
        uid = nobody->pw_uid;
        gid = nobody->pw_gid;
    }
    int answer[2];
    if (::pipe2(answer, O_CLOEXEC) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(answer[0]);
        ::close(answer[1]);
        return std::nullopt;
    }
    if (child == 0) {
        ::close(answer[0]);
        if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 || ::setresuid(uid, uid, uid) != 0
            || ::geteuid() == 0)
            ::_exit(2);
        const int result = body();
        const bool told = ::write(answer[1], &result, sizeof result) == static_cast<ssize_t>(sizeof result);
        ::_exit(told ? 0 : 3);
    }
    ::close(answer[1]);

    std::optional<int> result;
    pollfd ready{answer[0], POLLIN, 0};
    const auto limitMs = std::chrono::duration_cast<std::chrono::milliseconds>(limit).count();
    if (::poll(&ready, 1, static_cast<int>(limitMs)) == 1) {
        int value = 0;
        if (::read(answer[0], &value, sizeof value) == static_cast<ssize_t>(sizeof value))
            result = value;
    }
    ::close(answer[0]);
    if (!result)
        ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return result;
}

} // namespace kestrine::testing

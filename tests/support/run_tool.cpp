// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "tests/support/run_tool.h"

#include <QFile>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace kestrine::testing {
namespace {

// Both ends of a pipe, closed when it goes.
struct Pipe {
    int ends[2] = {-1, -1};
    Pipe() { (void)pipe2(ends, O_CLOEXEC); }
    ~Pipe()
    {
        closeEnd(0);
        closeEnd(1);
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;
    void closeEnd(int end)
    {
        if (ends[end] >= 0)
            close(ends[end]);
        ends[end] = -1;
    }
    bool open() const { return ends[0] >= 0 && ends[1] >= 0; }
};

} // namespace

Tool runTool(const QString& program, const QStringList& arguments, int timeoutMs)
{
    Tool tool;
    Pipe out;
    Pipe err;
    if (!out.open() || !err.open())
        return tool;

    std::vector<std::string> words{QFile::encodeName(program).toStdString()};
    for (const QString& argument : arguments)
        words.push_back(QFile::encodeName(argument).toStdString());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.ends[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err.ends[1], STDERR_FILENO);
    pid_t child = -1;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    out.closeEnd(1);
    err.closeEnd(1);
    if (spawned != 0)
        return tool;

    // Both outputs are read as they come, so that neither pipe fills and
    // holds the program up.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::array<pollfd, 2> reading{{{out.ends[0], POLLIN, 0}, {err.ends[0], POLLIN, 0}}};
    std::array<QByteArray*, 2> into{&tool.out, &tool.err};
    bool timedOut = false;
    while (reading[0].fd >= 0 || reading[1].fd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        if (poll(reading.data(), reading.size(), static_cast<int>(left.count())) < 0)
            continue;
        for (std::size_t i = 0; i < reading.size(); ++i) {
            if (reading[i].fd < 0 || reading[i].revents == 0)
                continue;
            char buffer[65536];
            const ssize_t got = read(reading[i].fd, buffer, sizeof buffer);
            if (got > 0)
                into[i]->append(buffer, static_cast<qsizetype>(got));
            else
                reading[i].fd = -1; // its end, or an error: nothing more comes
        }
    }
    if (timedOut)
        kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut || !WIFEXITED(status)) {
        tool.out.clear();
        tool.err.clear();
        return tool;
    }
    tool.exitCode = WEXITSTATUS(status);
    return tool;
}

} // namespace kestrine::testing

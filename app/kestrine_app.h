// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QApplication>
#include <optional>
#include <string>
#include <vector>

namespace kestrine {

// The program: its settings live under "Tallowmere" and the executable's base
// name, and it ends when its main dialog ends.
class KestrineApp : public QApplication {
public:
    // Answers --help and --version on standard output and gives the exit
    // status; nothing when the window is wanted. Runs before the application
    // object exists, so it needs no display.
    static std::optional<int> answerOnTerminal(int argc, char** argv);

    KestrineApp(int& argc, char** argv);

    // Shows the main dialog modally with the real services, with the files of
    // the command line added as Add would add them.
    int run();

private:
    // The arguments Qt left, as the system's bytes.
    std::vector<std::string> arguments_;
};

} // namespace kestrine

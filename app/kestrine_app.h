// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include <QApplication>

namespace kestrine {

// The program: its settings live under "Tallowmere" and the executable's base
// name, and it ends when its main dialog ends.
class KestrineApp : public QApplication {
public:
    KestrineApp(int& argc, char** argv);

    // Shows the main dialog modally with the real services.
    int run();
};

} // namespace kestrine

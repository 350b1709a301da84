// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/kestrine_app.h"

int main(int argc, char** argv)
{
    if (const std::optional<int> status = kestrine::KestrineApp::answerOnTerminal(argc, argv))
        return *status;
    kestrine::KestrineApp application(argc, argv);
    return application.run();
}

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/kestrine_app.h"

int main(int argc, char** argv)
{
    kestrine::KestrineApp application(argc, argv);
    return application.run();
}

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "platform/shell.h"

namespace kestrine {

class DesktopShell : public Shell {
public:
    bool openDocument(const QString& pathOrAddress) override;
    bool runProgram(const QString& program, const QStringList& arguments) override;
    bool canOpenForReading(const QString& path) const override;
    bool fileExists(const QString& path) const override;
    bool isRegularFile(const QString& path) const override;
};

} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "app/main_dialog.h"

#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>

namespace kestrine::testing {

// Files handed to measuring are listed (or refused) once their lengths come
// back; this waits until they have, with a deadline.
inline void waitForMeasuring(const MainDialog& window)
{
    ASSERT_TRUE(QTest::qWaitFor([&window] { return !window.measuring(); }, 30'000)) << "measuring did not end";
}

// A join checks its sources on a thread of its own before its graph runs;
// this waits until the check has ended, with a deadline.
inline void waitForJoinStart(const MainDialog& window)
{
    ASSERT_TRUE(QTest::qWaitFor([&window] { return !window.preparingJoin(); }, 30'000))
        << "the join's sources were still being checked";
}

// Adds files as a drop or the command line does, and waits until they are listed.
inline void addFilesAndWait(MainDialog& window, const QStringList& paths)
{
    window.addFiles(paths);
    waitForMeasuring(window);
}

} // namespace kestrine::testing

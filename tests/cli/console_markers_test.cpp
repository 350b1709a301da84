// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/console_dialogs.h"
#include "cli/console_join.h"
#include "output/framework/path_bytes.h"
#include "tests/support/fake_media_framework.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sstream>

namespace kestrine::testing {
namespace {

// What the console asks about markers reaches the graph's mux, and lists
// that would overwrite something are refused before anything is built.
struct ConsoleMarkersTest : ::testing::Test {
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        for (const char* name : {"a.mp3", "b.ogg"}) {
            const QString path = folder.filePath(QString::fromLatin1(name));
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            fake.setDuration(pathToBytes(path), kUnitsPerSecond);
            options.files.append(path);
        }
        options.output = folder.filePath("out.wav");
        fake.queueEvent({kEventComplete, 0, 0});
    }

    int run() { return join.run(options, interrupted, false); }

    QTemporaryDir folder;
    FakeMediaFramework fake;
    std::ostringstream err;
    ConsoleDialogs dialogs{err};
    ConsoleJoin join{fake, dialogs, err};
    JoinOptions options;
    std::atomic<bool> interrupted{false};
};

TEST_F(ConsoleMarkersTest, MarkersStayInTheFileUnlessRefused)
{
    ASSERT_EQ(run(), kExitJoined) << err.str();
    EXPECT_EQ(fake.callsOf(FakeOp::SetMarkers), (std::vector<FakeCall>{{FakeOp::SetMarkers, "in-file"}}));
}

TEST_F(ConsoleMarkersTest, TheChoicesReachTheMuxAsTheFileSystemsBytes)
{
    options.markers = false;
    options.cueSheet = folder.filePath(QStringLiteral("list \u00e9.cue"));
    options.labelList = folder.filePath("list.txt");
    ASSERT_EQ(run(), kExitJoined) << err.str();
    EXPECT_EQ(fake.callsOf(FakeOp::SetMarkers),
              (std::vector<FakeCall>{{FakeOp::SetMarkers, "none cue=" + pathToBytes(options.cueSheet) +
                                                              " labels=" + pathToBytes(options.labelList)}}));
}

TEST_F(ConsoleMarkersTest, ListsThatWouldOverwriteSomethingAreRefused)
{
    QFile old(folder.filePath("old.cue"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.close();
    ASSERT_TRUE(QDir(folder.path()).mkdir("folder.cue"));
    ASSERT_TRUE(QDir(folder.path()).mkdir("x"));
    struct Case {
        const char* name;
        QString cueSheet;
        QString labelList;
        bool overwrite;
        int exitCode;
        std::string message;
    };
    const QString output = options.output;
    const std::vector<Case> cases{
        {"cue sheet is the output", output, "", false, kExitUsage, "is the output file"},
        {"label list is the output by another spelling", "", folder.filePath("x/../out.wav"), false, kExitUsage,
         "is the output file"},
        {"label list is an input", "", options.files[1], false, kExitUsage, "is also one of the files to join"},
        {"the two are one", folder.filePath("same"), folder.filePath("same"), false, kExitUsage,
         "are the same file"},
        {"existing cue sheet without -y", folder.filePath("old.cue"), "", false, kExitFailed,
         "exists; use -y to replace it"},
        {"a folder", folder.filePath("folder.cue"), "", true, kExitFailed, "is a folder"},
    };
    for (const Case& tested : cases) {
        err.str({});
        options.cueSheet = tested.cueSheet;
        options.labelList = tested.labelList;
        options.overwrite = tested.overwrite;
        fake.queueEvent({kEventComplete, 0, 0}); // so that a join not refused ends too
        const int enginesBefore = fake.callCount(FakeOp::CreateRenderEngine);
        EXPECT_EQ(run(), tested.exitCode) << tested.name << ": " << err.str();
        EXPECT_NE(err.str().find(tested.message), std::string::npos) << tested.name << ": " << err.str();
        EXPECT_EQ(fake.callCount(FakeOp::CreateRenderEngine), enginesBefore) << tested.name;
    }

    options.cueSheet = folder.filePath("old.cue");
    options.labelList.clear();
    options.overwrite = true;
    fake.queueEvent({kEventComplete, 0, 0});
    EXPECT_EQ(run(), kExitJoined) << "-y replaces an old cue sheet too: " << err.str();
}

} // namespace
} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "controls/link_opening.h"
#include "controls/xdg_html_handler_lookup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace kestrine {
namespace {

const QString kAddress = QStringLiteral("https://www.example.com/kestrine/index.htm");

struct CommandCase {
    const char* name;
    const char* command;
    const char* expected; // with kAddress appended
};

TEST(LinkOpening, HandlerCommandLineCutsAtThePlaceholder)
{
    const std::vector<CommandCase> cases = {
        {"no placeholder", R"(C:\Browser\browse.exe)", R"(C:\Browser\browse.exe )"},
        {"quoted %1 at the end", R"("C:\Program Files\Web\web.exe" -nohome "%1")",
         R"("C:\Program Files\Web\web.exe" -nohome  )"},
        {"bare %1", R"(C:\web.exe %1)", R"(C:\web.exe  )"},
        {"%1 before more options", R"(web.exe %1 -new)", R"(web.exe  )"},
        {"%u", "firefox-esr %u", "firefox-esr  "},
        {"%U", "/usr/bin/chromium %U", "/usr/bin/chromium  "},
        {"%f", "dillo %f", "dillo  "},
        {"%F", "browser --new-window %F", "browser --new-window  "},
        {"quoted %u", R"(browser "%u")", "browser  "},
        {"empty command", "", " "},
    };
    for (const CommandCase& c : cases) {
        EXPECT_EQ(handlerCommandLine(QString::fromUtf8(c.command), kAddress),
                  QString::fromUtf8(c.expected) + kAddress)
            << c.name;
    }
}

TEST(LinkOpening, QuotedPlaceholderWinsOverTheBareOne)
{
    // The quoted form is looked for first, so its opening quote goes too.
    EXPECT_EQ(commandBeforePlaceholder(QStringLiteral("web.exe \"%1\"")), QStringLiteral("web.exe "));
    EXPECT_EQ(commandBeforePlaceholder(QStringLiteral("web.exe")), QStringLiteral("web.exe"));
}

TEST(LinkOpening, ErrorTextNamesTheFailure)
{
    const QString heading = QStringLiteral("Unable to open hyperlink:\n\n");
    const std::vector<std::pair<int, QString>> cases = {
        {26, QStringLiteral("A sharing violation occurred.")},
        {1, QStringLiteral("Unknown Error (1) occurred.")},
        {0, QStringLiteral("The operating system is out\nof memory or resources.")},
        {2, QStringLiteral("The specified file was not found.")},
        {31, QStringLiteral("There is no application associated\nwith the given filename extension.")},
        {32, QStringLiteral("The specified dynamic-link library was not found.")},
        {33, QStringLiteral("Unknown Error (33) occurred.")},
        {-7, QStringLiteral("Unknown Error (-7) occurred.")},
    };
    for (const auto& [code, message] : cases) {
        EXPECT_EQ(linkErrorMessage(code), message) << code;
        EXPECT_EQ(linkErrorText(code), heading + message) << code;
    }
}

TEST(LinkOpening, AFailureIsAMissingFileOrAMissingProgram)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString present = QDir(folder.path()).filePath(QStringLiteral("about.htm"));
    QFile file(present);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString absent = QDir(folder.path()).filePath(QStringLiteral("gone.htm"));
    const std::vector<std::pair<QString, int>> cases = {
        {present, kLinkNoAssociation},
        {QUrl::fromLocalFile(present).toString(), kLinkNoAssociation},
        {absent, kLinkFileNotFound},
        {QUrl::fromLocalFile(absent).toString(), kLinkFileNotFound},
        {kAddress, kLinkNoAssociation},
    };
    for (const auto& [target, code] : cases)
        EXPECT_EQ(openFailureCode(target), code) << target.toStdString();
}

TEST(XdgHtmlHandler, ExecLineComesFromTheMainGroup)
{
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"[Desktop Entry]\nName=Web\nExec=firefox-esr %u\n", "firefox-esr %u"},
        {"[Desktop Entry]\nTryExec=web\nExec = web --new %U \n", "web --new %U"},
        {"[Desktop Action new]\nExec=web --private\n[Desktop Entry]\nExec=web %u\n", "web %u"},
        {"[Desktop Entry]\nExec=web %u\n[Desktop Action new]\nExec=web --private\n", "web %u"},
        {"[Desktop Entry]\nName=Nothing to run\n", ""},
        {"Exec=outside any group\n", ""},
    };
    for (const auto& [entry, exec] : cases)
        EXPECT_EQ(XdgHtmlHandlerLookup::execLine(QString::fromUtf8(entry)), QString::fromUtf8(exec)) << entry;
}

TEST(XdgHtmlHandler, DesktopEntryIsFoundInTheFirstDataFolderThatHasIt)
{
    QTemporaryDir user;
    QTemporaryDir system;
    ASSERT_TRUE(user.isValid() && system.isValid());
    auto write = [](const QString& path) {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Desktop Entry]\nExec=web %u\n");
    };
    write(system.filePath("applications/web.desktop"));
    write(user.filePath("applications/web.desktop"));
    write(system.filePath("applications/vendor/viewer.desktop"));
    const QStringList dirs{user.path(), system.path()};

    EXPECT_EQ(XdgHtmlHandlerLookup::findDesktopEntry(QStringLiteral("web.desktop"), dirs),
              user.filePath("applications/web.desktop"));
    EXPECT_EQ(XdgHtmlHandlerLookup::findDesktopEntry(QStringLiteral("vendor-viewer.desktop"), dirs),
              system.filePath("applications/vendor/viewer.desktop"));
    EXPECT_TRUE(XdgHtmlHandlerLookup::findDesktopEntry(QStringLiteral("none.desktop"), dirs).isEmpty());
    EXPECT_TRUE(XdgHtmlHandlerLookup::findDesktopEntry(QStringLiteral("../web.desktop"), dirs).isEmpty());
    EXPECT_TRUE(XdgHtmlHandlerLookup::findDesktopEntry(QString(), dirs).isEmpty());
}

TEST(XdgHtmlHandler, DataFoldersPutTheUsersFirst)
{
    const QStringList dirs = XdgHtmlHandlerLookup::dataDirs();
    ASSERT_GE(dirs.size(), 2);
    // The test runner points XDG_DATA_HOME into its sandbox.
    EXPECT_EQ(dirs.front(), qEnvironmentVariable("XDG_DATA_HOME"));
}

} // namespace
} // namespace kestrine

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "controls/resource_paths.h"
#include "tests/install/installed_tree.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace kestrine::testing {
namespace {

const QString kAppId = QStringLiteral(KESTRINE_APP_ID);
const QList<int> kIconSizes{16, 22, 24, 32, 48, 64, 128, 256};

QString readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// The help as the build made it, beside the test programs.
QDir builtHelp()
{
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/help"));
}

QSet<QString> expectedFiles()
{
    QSet<QString> files{
        QStringLiteral("bin/kestrine"),
        QStringLiteral("bin/kestrine-join"),
        QStringLiteral("share/applications/%1.desktop").arg(kAppId),
        QStringLiteral("share/metainfo/%1.metainfo.xml").arg(kAppId),
        QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(kAppId),
        QStringLiteral("share/man/man1/kestrine.1.gz"),
        QStringLiteral("share/man/man1/kestrine-join.1.gz"),
        QStringLiteral("share/bash-completion/completions/kestrine-join"),
    };
    for (int size : kIconSizes)
        files.insert(QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId));
    for (const QString& name : builtHelp().entryList(QDir::Files))
        files.insert(QStringLiteral("share/kestrine/help/") + name);
    return files;
}

TEST(InstalledTree, HoldsExactlyTheProgramsTheirHelpAndDesktopFiles)
{
    ASSERT_TRUE(builtHelp().exists(QStringLiteral("Introduction.htm")));
    const QDir prefix(installedPath(QString()));
    ASSERT_TRUE(prefix.exists()) << prefix.path().toStdString();
    QSet<QString> installed;
    QDirIterator it(prefix.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        installed.insert(prefix.relativeFilePath(it.next()));
    // Nothing else under the install root either, such as a stray absolute path.
    EXPECT_EQ(QDir(QStringLiteral(KESTRINE_INSTALL_ROOT))
                  .entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("usr")});

    const QSet<QString> expected = expectedFiles();
    for (const QString& missing : expected - installed)
        ADD_FAILURE() << "not installed: " << missing.toStdString();
    for (const QString& extra : installed - expected)
        ADD_FAILURE() << "installed but not expected: " << extra.toStdString();

    for (const QString& program :
         {QStringLiteral("bin/kestrine"), QStringLiteral("bin/kestrine-join")})
        EXPECT_TRUE(QFileInfo(installedPath(program)).isExecutable()) << program.toStdString();
    for (const QString& name : builtHelp().entryList(QDir::Files)) {
        QFile built(builtHelp().filePath(name));
        QFile copy(installedPath(QStringLiteral("share/kestrine/help/") + name));
        ASSERT_TRUE(built.open(QIODevice::ReadOnly) && copy.open(QIODevice::ReadOnly))
            << name.toStdString();
        EXPECT_EQ(built.readAll(), copy.readAll()) << name.toStdString();
    }
}

TEST(InstalledTree, InstalledProgramFindsItsHelp)
{
    const HelpLookup help = findHelpPage(installedPath(QStringLiteral("bin")));
    EXPECT_EQ(help.page, installedPath(QStringLiteral("share/kestrine/help/Introduction.htm")));
}

// Each size is the drawing itself: square, opaque in the middle, in the
// icon's orange, and transparent outside its rounded corners.
TEST(InstalledTree, IconIsDrawnAtEverySize)
{
    for (int size : kIconSizes) {
        SCOPED_TRACE(size);
        const QImage icon(installedPath(
            QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId)));
        ASSERT_FALSE(icon.isNull());
        EXPECT_EQ(icon.size(), QSize(size, size));
        EXPECT_TRUE(icon.hasAlphaChannel());
        EXPECT_EQ(icon.pixelColor(0, 0).alpha(), 0);
        const QColor inside = icon.pixelColor(size / 4, size - size / 8);
        EXPECT_EQ(inside.alpha(), 255);
        EXPECT_GT(inside.red(), inside.blue() + 80);
    }
}

// The value of key in the desktop entry's text, or empty.
QString desktopValue(const QString& entry, const QString& key)
{
    const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(QRegularExpression::escape(key)),
                                  QRegularExpression::MultilineOption);
    return line.match(entry).captured(1);
}

TEST(InstalledTree, DesktopEntryStartsTheProgramWithItsFilesAndIcon)
{
    const QString entry =
        readText(installedPath(QStringLiteral("share/applications/%1.desktop").arg(kAppId)));
    ASSERT_FALSE(entry.isEmpty());
    EXPECT_EQ(desktopValue(entry, QStringLiteral("Exec")), QStringLiteral("kestrine %F"));
    EXPECT_EQ(desktopValue(entry, QStringLiteral("Icon")), kAppId);
    EXPECT_EQ(desktopValue(entry, QStringLiteral("GenericName")), QStringLiteral("Audio Joiner"));
    EXPECT_EQ(desktopValue(entry, QStringLiteral("Categories")),
              QStringLiteral("AudioVideo;Audio;AudioVideoEditing;"));
    const QStringList types =
        desktopValue(entry, QStringLiteral("MimeType")).split(u';', Qt::SkipEmptyParts);
    for (const char* type :
         {"audio/mpeg", "audio/x-wav", "audio/ogg", "audio/flac", "audio/mp4", "audio/x-ms-wma",
          "video/mp4", "video/x-matroska", "video/x-msvideo", "video/quicktime"})
        EXPECT_TRUE(types.contains(QString::fromLatin1(type))) << type;

    const QString metainfo =
        readText(installedPath(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(kAppId)));
    EXPECT_TRUE(metainfo.contains(QStringLiteral("<id>%1</id>").arg(kAppId)));
    EXPECT_TRUE(metainfo.contains(
        QStringLiteral("<launchable type=\"desktop-id\">%1.desktop</launchable>").arg(kAppId)));
    EXPECT_TRUE(metainfo.contains(
        QStringLiteral("<release version=\"%1\"").arg(QStringLiteral(KESTRINE_VERSION))));
}

// The validators the desktops and software centres use, where installed.
TEST(InstalledTree, DesktopEntryAndMetainfoPassTheirValidators)
{
    struct Check {
        const char* program;
        QStringList arguments;
        bool silentWhenValid; // says nothing at all, not even a warning
    };
    const std::vector<Check> checks{
        // Its errors "will be fatal in the future" leave the exit status at 0.
        {"desktop-file-validate",
         {installedPath(QStringLiteral("share/applications/%1.desktop").arg(kAppId))},
         true},
        {"appstreamcli",
         {QStringLiteral("validate"), QStringLiteral("--no-net"),
          installedPath(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(kAppId))},
         false},
    };
    QStringList missing;
    for (const Check& check : checks) {
        const QString program = QStandardPaths::findExecutable(QString::fromLatin1(check.program));
        if (program.isEmpty()) {
            missing.append(QString::fromLatin1(check.program));
            continue;
        }
        const ProgramRun run = runProgram(program, check.arguments);
        EXPECT_TRUE(run.finished && run.exitCode == 0 &&
                    !(check.silentWhenValid && !run.out.isEmpty()))
            << check.program << " said:\n"
            << run.out.toStdString() << run.err.toStdString();
    }
    if (!missing.isEmpty())
        GTEST_SKIP() << "not installed: " << missing.join(QStringLiteral(", ")).toStdString();
}

// Every option that --help lists is described under OPTIONS in the manual page.
TEST(InstalledTree, ManualPagesNameEveryOptionTheirProgramKnows)
{
    const QRegularExpression option(QStringLiteral(R"((?<![\w-])(--?[a-z][a-z-]*))"));
    for (const QString& name : {QStringLiteral("kestrine"), QStringLiteral("kestrine-join")}) {
        SCOPED_TRACE(name.toStdString());
        const ProgramRun help =
            runProgram(installedPath(QStringLiteral("bin/") + name), {QStringLiteral("--help")});
        ASSERT_EQ(help.exitCode, 0) << help.err.toStdString();
        const QString page =
            gunzipped(installedPath(QStringLiteral("share/man/man1/%1.1.gz").arg(name)));
        const qsizetype from = page.indexOf(QStringLiteral("\n.SH OPTIONS\n"));
        ASSERT_GE(from, 0) << "no OPTIONS section";
        const QString options =
            page.mid(from, page.indexOf(QStringLiteral("\n.SH "), from + 1) - from);
        QSet<QString> listedOptions;
        for (auto matches = option.globalMatch(help.out); matches.hasNext();)
            listedOptions.insert(matches.next().captured(1));
        EXPECT_TRUE(listedOptions.contains(QStringLiteral("--version")));
        for (QString listed : listedOptions) {
            if (listed == QStringLiteral("-join") || listed == QStringLiteral("-platform") ||
                listed == QStringLiteral("-style"))
                continue; // parts of a program name, and Qt's own options
            // roff writes a dash as \-; "\-o" inside "\-\-output" does not count.
            const QString roff =
                QRegularExpression::escape(listed.replace(u'-', QStringLiteral("\\-")));
            EXPECT_TRUE(options.contains(
                QRegularExpression(QStringLiteral(R"((?<![\w-])%1(?![\w-]))").arg(roff))))
                << listed.toStdString();
        }
    }
}

// Completion as bash-completion runs it, in a folder of known files.
TEST(InstalledTree, CompletionOffersOptionsAndFiles)
{
    const QString framework = QStringLiteral("/usr/share/bash-completion/bash_completion");
    if (!QFileInfo::exists(framework))
        GTEST_SKIP() << "bash-completion is not installed";
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const char* name : {"intro.mp3", "joined.wav", "outro.ogg", "talk.AAC"})
        QFile(folder.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
    QDir(folder.path()).mkdir(QStringLiteral("music"));

    struct Case {
        QString line; // the words typed, the last one being completed
        QStringList offered;
    };
    const std::vector<Case> cases{
        {QStringLiteral("kestrine-join --o"),
         {QStringLiteral("--output="), QStringLiteral("--overwrite")}},
        // Outputs are the formats a join writes: no .aac.
        {QStringLiteral("kestrine-join -o ''"),
         {QStringLiteral("intro.mp3"), QStringLiteral("joined.wav"), QStringLiteral("music"),
          QStringLiteral("outro.ogg")}},
        {QStringLiteral("kestrine-join -y -o out.wav ''"),
         {QStringLiteral("intro.mp3"), QStringLiteral("joined.wav"), QStringLiteral("music"),
          QStringLiteral("outro.ogg"), QStringLiteral("talk.AAC")}},
        {QStringLiteral("kestrine-join -- -"), {}},
        {QStringLiteral("kestrine-join --me"), {QStringLiteral("--measure")}},
        {QStringLiteral("kestrine-join --no"), {QStringLiteral("--no-markers"), QStringLiteral("--no-tags")}},
        {QStringLiteral("kestrine-join --cue ''"), {QStringLiteral("music")}},
    };
    const QString script =
        QStringLiteral("source %1; source %2\n"
                       "COMP_WORDS=(%3); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); "
                       "COMP_LINE=\"${COMP_WORDS[*]}\"; COMP_POINT=${#COMP_LINE}\n"
                       "_kestrine_join kestrine-join \"${COMP_WORDS[COMP_CWORD]}\" "
                       "\"${COMP_WORDS[COMP_CWORD-1]}\" 2>/dev/null\n"
                       "printf '%s\\n' \"${COMPREPLY[@]}\" | LC_ALL=C sort\n");
    const QString completion =
        installedPath(QStringLiteral("share/bash-completion/completions/kestrine-join"));
    for (const Case& test : cases) {
        SCOPED_TRACE(test.line.toStdString());
        const ProgramRun run =
            runProgram(QStringLiteral("bash"),
                       {QStringLiteral("-c"), script.arg(framework, completion, test.line)},
                       QProcessEnvironment::systemEnvironment(), folder.path());
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out.split(u'\n', Qt::SkipEmptyParts), test.offered);
    }
}

} // namespace
} // namespace kestrine::testing

// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/kestrine_app.h"

#include "app/clip_list_view.h"
#include "app/command_line.h"
#include "app/main_dialog.h"
#include "media/framework/ffmpeg_encoder_catalog.h"
#include "media/framework/ffmpeg_media_framework.h"
#include "platform/widgets/desktop_shell.h"
#include "platform/widgets/qt_user_dialogs.h"
#include "platform/settings_store.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <iostream>

namespace kestrine {

namespace {

constexpr int kExitUsage = 2;
const QString kProgram = QStringLiteral("kestrine");

// One line per row as the list shows it: the name, a tab, the seconds.
void printListedRows(const MainDialog& dialog)
{
    const auto* view =
        dialog.findChild<const ClipListView*>(controlName(control::kClipList));
    for (int row = 0; view && row < view->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = view->topLevelItem(row);
        std::cout << item->text(0).toStdString() << '\t' << item->text(1).toStdString() << '\n';
    }
    std::cout << std::flush;
}

// Where a pointer finds each row and the Exit button, in the window's coordinates.
void printPlaces(const MainDialog& dialog)
{
    const auto* view = dialog.findChild<const ClipListView*>(controlName(control::kClipList));
    for (int row = 0; view && row < view->topLevelItemCount(); ++row) {
        const QRect rect = view->visualItemRect(view->topLevelItem(row));
        const QPoint centre = view->viewport()->mapTo(&dialog, rect.center());
        std::cout << "row\t" << row << '\t' << centre.x() << '\t' << centre.y() << '\n';
    }
    if (const auto* exit = dialog.findChild<const QWidget*>(controlName(control::kExit))) {
        const QPoint centre = exit->mapTo(&dialog, exit->rect().center());
        std::cout << "exit\t" << centre.x() << '\t' << centre.y() << '\n';
    }
    std::cout << std::flush;
}

// The list the next join would write, one "list" line per item, then the
// view's rows as "view" lines, so that a test can see the two agree.
void printListAndRows(const MainDialog& dialog)
{
    for (const ClipItem& item : dialog.audioList().items())
        std::cout << "list\t" << clipNameText(item.path).toStdString() << '\t'
                  << clipSecondsText(item.duration).toStdString() << '\n';
    const auto* view = dialog.findChild<const ClipListView*>(controlName(control::kClipList));
    for (int row = 0; view && row < view->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = view->topLevelItem(row);
        std::cout << "view\t" << item->text(0).toStdString() << '\t' << item->text(1).toStdString() << '\n';
    }
    std::cout << "end" << std::endl;
}

} // namespace

std::optional<int> KestrineApp::answerOnTerminal(int argc, char** argv)
{
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    // Qt's own options are still among the arguments here, so an unknown one is
    // only reported once the application object has taken those out.
    const CommandLine line = parseCommandLine(arguments, QString());
    if (line.help) {
        std::cout << commandLineUsage(kProgram).toStdString() << std::flush;
        return 0;
    }
    if (line.version) {
        std::cout << kProgram.toStdString() << ' ' << KESTRINE_VERSION << '\n' << std::flush;
        return 0;
    }
    return std::nullopt;
}

KestrineApp::KestrineApp(int& argc, char** argv) : QApplication(argc, argv)
{
    // Qt has taken its own options out of argv by now.
    arguments_.assign(argv + 1, argv + argc);
    setOrganizationName(QString::fromLatin1(kCompanyName));
    setApplicationName(QFileInfo(applicationFilePath()).completeBaseName());
    setApplicationVersion(QStringLiteral(KESTRINE_VERSION));
    // Lets Wayland docks match the window to the installed menu entry and its icon.
    setDesktopFileName(QStringLiteral(KESTRINE_APP_ID));
}

int KestrineApp::run()
{
    const CommandLine line = parseCommandLine(arguments_, QDir::currentPath());
    if (!line.error.isEmpty()) {
        std::cerr << kProgram.toStdString() << ": " << line.error.toStdString()
                  << " (see --help)\n";
        return kExitUsage;
    }

    FfmpegMediaFramework framework;
    FfmpegEncoderCatalog encoders;
    QtUserDialogs dialogs;
    DesktopShell shell;
    SettingsStore settings;
    MainDialog dialog(framework, dialogs, shell, settings, encoders);
    dialogs.setOwner(&dialog);
    // The files are added once the window shows, so that a slow measurement
    // shows its progress and Cancel over it, as after Add's own dialog.
    // The first add is the command line's; an Add of the user's comes later.
    QObject::connect(&dialog, &MainDialog::addFinished, &dialog, [&dialog, &line, first = true]() mutable {
        if (!first)
            return;
        first = false;
        if (line.reportList)
            printPlaces(dialog);
        if (line.listAndQuit) {
            printListedRows(dialog);
            dialog.reject();
        }
    });
    QTimer::singleShot(0, &dialog, [&dialog, &line] { dialog.addFiles(line.files); });
    // The dialog's answer does not matter: when it ends, the program ends.
    dialog.exec();
    if (line.reportList)
        printListAndRows(dialog);
    return 0;
}

} // namespace kestrine

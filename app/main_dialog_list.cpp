// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "app/main_dialog.h"

#include "app/about_dialog.h"
#include "app/clip_list_view.h"
#include "app/maker_pages.h"
#include "controls/resource_paths.h"
#include "controls/link_opening.h"
#include "output/format_settings.h"
#include "output/output_settings_dialog.h"
#include "platform/shell.h"
#include "platform/user_dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <algorithm>

namespace kestrine {

namespace {

const QString kSelectItems = QStringLiteral("Please select items!");

} // namespace

QVector<int> MainDialog::selectedRowsOrAsk()
{
    const QVector<int> selected = listView_->selectedRows();
    if (selected.isEmpty())
        dialogs_.inform(kSelectItems);
    return selected;
}

void MainDialog::onMoveUp()
{
    if (clipList_.count() < 2)
        return;
    const QVector<int> selected = selectedRowsOrAsk();
    if (selected.isEmpty())
        return;
    for (int row : selected) {
        if (row == 0) {
            listView_->setFocus();
            break;
        }
        clipList_.swap(row - 1, row);
        // The moved item's row is never taken out, so it stays selected.
        listView_->removeRow(row - 1);
        listView_->insertRow(row, clipList_.at(row));
        listView_->setFocus();
    }
    syncAudioList();
}

void MainDialog::onMoveDown()
{
    if (clipList_.count() < 2)
        return;
    const QVector<int> selected = selectedRowsOrAsk();
    if (selected.isEmpty())
        return;
    const int last = clipList_.count() - 1;
    for (auto row = selected.crbegin(); row != selected.crend(); ++row) {
        if (*row == last) {
            listView_->setFocus();
            break;
        }
        clipList_.swap(*row, *row + 1);
        listView_->removeRow(*row + 1);
        listView_->insertRow(*row, clipList_.at(*row));
        listView_->setFocus();
    }
    syncAudioList();
}

void MainDialog::onDeleteSelected()
{
    if (clipList_.isEmpty())
        return;
    const QVector<int> selected = selectedRowsOrAsk();
    if (selected.isEmpty())
        return;
    // Each removal moves the later items up by one.
    int removed = 0;
    for (int row : selected)
        clipList_.removeAt(row - removed++);
    refreshView();
    syncAudioList();
    // The keyboard's cursor goes to the row that took the first deleted one's
    // place, without selecting it: the next Delete still needs a choice.
    listView_->placeCursor(std::min(selected.front(), clipList_.count() - 1));
}

void MainDialog::onDeleteAll()
{
    clipList_.clear();
    refreshView();
    syncAudioList();
}

void MainDialog::onPlay()
{
    if (clipList_.isEmpty())
        return;
    const QVector<int> selected = selectedRowsOrAsk();
    if (selected.isEmpty())
        return;
    for (int row : selected) {
        const QString path = clipList_.at(row).path;
        if (!shell_.canOpenForReading(path)) {
            dialogs_.showMessage({path + QStringLiteral(" does not exist!"), QStringLiteral("Error"),
                                  MessageIcon::Error, MessageButtons::Ok});
            return;
        }
        if (!openOrExplain(path))
            return;
    }
}

void MainDialog::onOptions()
{
    OutputSettings handed = output_;
    handed.format = readFormatRequest(settings_);
    handed.sources = sourceFormats();
    OutputSettingsDialog options(handed, settings_, dialogs_, encoders_, this);
    if (options.exec() != QDialog::Accepted)
        return;
    // The dialog stored everything itself; the running program takes over only the path.
    output_.outputPath = options.outputPath();
    updateButtonTip(control::kJoin);
    showOutputFile();
}

void MainDialog::onHelp()
{
#ifdef Q_OS_WIN
    const QString folder = QCoreApplication::applicationDirPath();
    const QString viewer = QStringLiteral("hh.exe");
    if (!shell_.runProgram(viewer, {QDir::toNativeSeparators(folder + QLatin1Char('/'))
                                    + QStringLiteral("help.chm::/Introduction.htm")}))
        explainOpenFailure(viewer, kLinkFileNotFound);
#else
    const HelpLookup help = findHelpPage(QCoreApplication::applicationDirPath());
    if (help.page.isEmpty()) {
        dialogs_.showError(missingHelpText(help));
        return;
    }
    openOrExplain(help.page);
#endif
}

void MainDialog::onHomepage()
{
    openOrExplain(homePageAddress());
}

bool MainDialog::openOrExplain(const QString& pathOrAddress)
{
    if (shell_.openDocument(pathOrAddress))
        return true;
    explainOpenFailure(pathOrAddress, openFailureCode(pathOrAddress));
    return false;
}

void MainDialog::explainOpenFailure(const QString& pathOrAddress, int code)
{
    dialogs_.showMessage({QStringLiteral("Unable to open %1:\n\n%2").arg(pathOrAddress, linkErrorMessage(code)),
                          dialogs_.applicationTitle(), MessageIcon::Warning, MessageButtons::Ok});
}

void MainDialog::onAbout()
{
    AboutDialog about(shell_, dialogs_, this);
    about.exec();
}

} // namespace kestrine

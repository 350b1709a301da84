// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "platform/widgets/qt_user_dialogs.h"

#include <QCoreApplication>
#include <algorithm>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace kestrine {

QString QtUserDialogs::applicationTitle() const
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

MessageAnswer QtUserDialogs::showMessage(const MessageRequest& request)
{
    QMessageBox box(owner_);
    box.setWindowTitle(request.caption);
    box.setText(request.text);
    switch (request.icon) {
    case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::Error: box.setIcon(QMessageBox::Critical); break;
    }
    if (request.buttons == MessageButtons::YesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(request.defaultAnswer == MessageAnswer::No ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return MessageAnswer::Ok;
}

QStringList QtUserDialogs::chooseFilesToOpen(const OpenFilesRequest& request)
{
    const QString filter = request.filters.join(QStringLiteral(";;"));
    QString selected = request.filters.value(0);
    // The patterns of the first choice run long: the list of choices shows
    // the descriptions only, so it is no wider than the dialog.
    return QFileDialog::getOpenFileNames(owner_, request.title, request.initialFolder, filter,
                                         &selected, QFileDialog::HideNameFilterDetails);
}

QFileDialog::Options QtUserDialogs::saveDialogOptions(const SaveFileRequest& request)
{
    QFileDialog::Options options;
    if (!request.askToReplace)
        options |= QFileDialog::DontConfirmOverwrite;
    return options;
}

std::optional<SaveFileChoice> QtUserDialogs::chooseFileToSave(const SaveFileRequest& request)
{
    const QString filter = request.filters.join(QStringLiteral(";;"));
    QString start = request.initialFolder;
    if (!request.initialName.isEmpty() && request.initialName != QStringLiteral("*.*"))
        start = QDir(start).filePath(request.initialName);
    QString selected = request.filters.value(0);
    const QString chosen = QFileDialog::getSaveFileName(owner_, request.title, start, filter, &selected,
                                                        saveDialogOptions(request));
    if (chosen.isEmpty())
        return std::nullopt;
    return SaveFileChoice{chosen, std::max(0, static_cast<int>(request.filters.indexOf(selected)))};
}

} // namespace kestrine

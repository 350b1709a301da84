// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "platform/user_dialogs.h"

#include <QFileDialog>
#include <QPointer>
#include <QWidget>

namespace kestrine {

class QtUserDialogs : public UserDialogs {
public:
    QString applicationTitle() const override;
    MessageAnswer showMessage(const MessageRequest& request) override;
    QStringList chooseFilesToOpen(const OpenFilesRequest& request) override;
    std::optional<SaveFileChoice> chooseFileToSave(const SaveFileRequest& request) override;

    // The options the save dialog opens with for request.
    static QFileDialog::Options saveDialogOptions(const SaveFileRequest& request);

    // The window that owns the file dialogs and boxes.
    void setOwner(QWidget* owner) { owner_ = owner; }

private:
    QPointer<QWidget> owner_;
};

} // namespace kestrine

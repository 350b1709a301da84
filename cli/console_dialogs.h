// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#pragma once

#include "platform/user_dialogs.h"

#include <ostream>

namespace kestrine {

// Message boxes become lines on the console; nobody is there to answer a
// question or pick a file, so questions are answered No and pickers cancel.
class ConsoleDialogs : public UserDialogs {
public:
    explicit ConsoleDialogs(std::ostream& out, QString title = QStringLiteral("kestrine-join"));

    QString applicationTitle() const override { return title_; }
    MessageAnswer showMessage(const MessageRequest& request) override;
    QStringList chooseFilesToOpen(const OpenFilesRequest& request) override;
    std::optional<SaveFileChoice> chooseFileToSave(const SaveFileRequest& request) override;

private:
    std::ostream& out_;
    QString title_;
};

} // namespace kestrine

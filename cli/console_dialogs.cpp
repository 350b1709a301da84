// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/console_dialogs.h"

namespace kestrine {

ConsoleDialogs::ConsoleDialogs(std::ostream& out, QString title)
    : out_(out), title_(std::move(title))
{
}

MessageAnswer ConsoleDialogs::showMessage(const MessageRequest& request)
{
    out_ << title_.toStdString() << ": " << request.text.toStdString() << '\n' << std::flush;
    return request.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

QStringList ConsoleDialogs::chooseFilesToOpen(const OpenFilesRequest&)
{
    return {};
}

std::optional<QString> ConsoleDialogs::chooseFileToSave(const SaveFileRequest&)
{
    return std::nullopt;
}

} // namespace kestrine

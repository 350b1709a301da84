// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/console_dialogs.h"

#include "output/framework/path_bytes.h"

namespace kestrine {

ConsoleDialogs::ConsoleDialogs(std::ostream& out, QString title)
    : out_(out), title_(std::move(title))
{
}

MessageAnswer ConsoleDialogs::showMessage(const MessageRequest& request)
{
    // A name that is not UTF-8 is shown with the bytes it has on disk.
    out_ << pathToBytes(title_) << ": " << pathToBytes(request.text) << '\n' << std::flush;
    return request.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

QStringList ConsoleDialogs::chooseFilesToOpen(const OpenFilesRequest&)
{
    return {};
}

std::optional<SaveFileChoice> ConsoleDialogs::chooseFileToSave(const SaveFileRequest&)
{
    return std::nullopt;
}

} // namespace kestrine

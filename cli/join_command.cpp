// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/join_command.h"

#include "cli/console_dialogs.h"
#include "cli/console_join.h"
#include "cli/join_options.h"

namespace kestrine {

int runJoinCommand(const QStringList& arguments, MediaFramework& framework, std::ostream& out,
                   std::ostream& err, const std::atomic<bool>& interrupted, bool showProgress)
{
    const QString program = QStringLiteral("kestrine-join");
    ConsoleDialogs dialogs(err, program);
    const ParsedJoinOptions parsed = parseJoinOptions(arguments);
    if (!parsed.error.isEmpty()) {
        dialogs.inform(parsed.error + QStringLiteral(" (see --help)"));
        return kExitUsage;
    }
    if (parsed.options.help) {
        out << joinUsage(program).toStdString() << std::flush;
        return kExitJoined;
    }
    if (parsed.options.version) {
        out << program.toStdString() << ' ' << KESTRINE_VERSION << '\n' << std::flush;
        return kExitJoined;
    }
    ConsoleJoin join(framework, dialogs, err);
    return join.run(parsed.options, interrupted, showProgress);
}

} // namespace kestrine

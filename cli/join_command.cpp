// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The Kestrine developers
#include "cli/join_command.h"

#include "cli/console_dialogs.h"
#include "cli/console_join.h"
#include "cli/exit_codes.h"
#include "cli/join_options.h"
#include "output/duration_probe.h"
#include "output/measure_failure.h"
#include "output/framework/path_bytes.h"

#include <QFile>
#include <cstdio>

namespace kestrine {

namespace {

// Lengths are exact to 100 ns, so seven decimals lose nothing.
int measureFiles(const QStringList& files, MediaFramework& framework, std::ostream& out,
                 ConsoleDialogs& dialogs)
{
    if (files.isEmpty()) {
        dialogs.inform(QStringLiteral("no files to measure (see --help)"));
        return kExitUsage;
    }
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(files.size()));
    for (const QString& file : files)
        paths.push_back(pathToBytes(file));
    const std::vector<ProbeOutcome> outcomes = probeDurations(framework, paths);
    int exitCode = kExitJoined;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const ProbeOutcome& outcome = outcomes[i];
        if (outcome.failure != ProbeFailure::None) {
            dialogs.inform(measureFailureText(framework, files[static_cast<qsizetype>(i)], outcome));
            exitCode = kExitFailed;
            continue;
        }
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%lld.%07lld",
                      static_cast<long long>(outcome.duration / kUnitsPerSecond),
                      static_cast<long long>(outcome.duration % kUnitsPerSecond));
        out << seconds << '\t' << paths[i] << '\n';
    }
    out << std::flush;
    return exitCode;
}

} // namespace

int runJoinCommand(const std::vector<std::string>& arguments, MediaFramework& framework, std::ostream& out,
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
    if (parsed.options.measureOnly)
        return measureFiles(parsed.options.files, framework, out, dialogs);
    ConsoleJoin join(framework, dialogs, err);
    return join.run(parsed.options, interrupted, showProgress);
}

} // namespace kestrine

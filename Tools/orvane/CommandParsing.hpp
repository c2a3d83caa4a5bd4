// CommandParsing: how every `orvane` command reads its own command line, so
// that --help and mistakes look the same everywhere.
//
// parseCommand(app, argc, argv) parses; on --help it prints the help on
// standard output and gives ExitStatus::success, on a command line it cannot
// understand it prints one line on standard error in the tool's one format
// ("<app name>: orvane.ToolError error 1: <what is wrong> (see '<app name>
// --help')", see FailureReport) and gives ExitStatus::usage. Nothing when the command line was read: go on.
//
//   CLI::App app("Prints the host facts.", "orvane system");
//   if (const auto status = parseCommand(app, argc, argv)) return *status;
#pragma once

#include <CLI/CLI.hpp>

#include <optional>

namespace orvane::cli {

std::optional<int> parseCommand(CLI::App& app, int argc, char** argv);

}  // namespace orvane::cli

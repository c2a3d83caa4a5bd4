// CommandLine: reads the `orvane keychain` command line into a KeychainRequest.
//
//   orvane keychain store   --account A --service S [--name N] [--descriptor D] [--acl PATH]...
//                           [--allow-empty]
//   orvane keychain replace --account A --service S [--name N] [--descriptor D] [--acl PATH]...
//                           [--allow-empty]
//   orvane keychain fetch   --account A --service S [--name N] [--descriptor D] [--acl PATH]...
//                           [--migrating-from ACCOUNT:SERVICE]
//                           [--migrating-insecurely-from ACCOUNT:SERVICE]
//                           [--replacing-with-file FILE] [--bypassing-acl-checks]
//   orvane keychain remove  --account A --service S
//   (each also [--timeout SECONDS], 10 by default)
//
// --help (at any level) prints usage and the exit statuses on `out`,
// --version the tool's version; a command line that cannot be understood
// prints one line on `err` (see FailureReport) and asks for
// ExitStatus::usage. Either way no request is returned.
//
// Touches no keychain or file; one thread at a time.
//
//   const auto parsed = orvane::cli::parseCommandLine(argc, argv, std::cout, std::cerr);
//   if (!parsed.request) return static_cast<int>(parsed.status);
#pragma once

#include "orvane/ExitStatus.hpp"
#include "orvane/KeychainRequest.hpp"

#include <iosfwd>
#include <optional>
#include <span>

namespace orvane::cli {

struct ParsedCommandLine {
    std::optional<KeychainRequest> request;
    // The status to exit with when there is no request.
    ExitStatus status = ExitStatus::success;
};

// The tool's other commands, dispatched before the keychain's command line is
// read; listed here so that `orvane --help` names them too.
struct CommandSummary {
    const char* name;
    const char* description;
};

ParsedCommandLine parseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                                   std::span<const CommandSummary> otherCommands = {});

}  // namespace orvane::cli

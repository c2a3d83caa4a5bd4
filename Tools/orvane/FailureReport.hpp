// FailureReport: turns an error thrown while running a command into the one
// line the tool prints on standard error and the status it exits with.
//
// Every error line has one format, "<program>: <domain> error <code>:
// <message>", on one line (line breaks inside become spaces). The message is
// the error's debug description when it has one (the keychain adaptor's
// "Error '<status>' ..." texts, where the status's meaning is added in
// parentheses after it), else, for a KeychainFetchError, a short explanation
// in the tool's terms, else its localized description. The tool's own
// failures (a command line it cannot understand, a refused input) are
// NSErrors in the domain "orvane.ToolError" made by toolError.
//
// A command line it cannot understand exits with usage; a missing item —
// KeychainFetchError dataNotFound, or an adaptor error for status -25300 —
// with itemNotFound; every other error with failure.
//
// Stateless; any thread may call.
//
//   catch (const std::exception& error) {
//       const auto report = orvane::cli::FailureReport::from(error);
//       std::cerr << report.line << '\n';
//       return static_cast<int>(report.status);
//   }
#pragma once

#include "Platform/Foundation/NSError.hpp"
#include "orvane/ExitStatus.hpp"

#include <exception>
#include <string>
#include <string_view>

namespace orvane::cli {

// ToolFailure: the codes of the domain "orvane.ToolError".
enum class ToolFailure {
    commandLine = 1,        // the command line could not be understood
    emptySecret = 2,        // an empty secret without --allow-empty
    outputNotWritable = 3,  // a fetch with no writable standard output
    replacementFile = 4,    // a replacement file that is not a regular file, or too large
    unexpected = 5,         // an exception that is no library error
};

NSError toolError(ToolFailure failure, const std::string& message);

// meaningOfStatus: a few words on a keychain status, or nullptr for one the tool does not know.
const char* meaningOfStatus(long status);

struct FailureReport {
    ExitStatus status = ExitStatus::failure;
    std::string line;

    // from: the report for `error`, the line starting with `program`.
    static FailureReport from(const std::exception& error, std::string_view program = "orvane");
    // commandLine: the report for a command line that cannot be understood.
    static FailureReport commandLine(std::string_view program, const std::string& message);
};

}  // namespace orvane::cli

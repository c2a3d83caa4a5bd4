// FailureReport: turns an error thrown while running a command into the one
// line the tool prints on standard error and the status it exits with.
//
// The line reads "orvane: <domain> error <code>: <message>", where the
// message is the error's debug description when it has one (the keychain
// adaptor's "Error '<status>' ..." texts), else, for a KeychainFetchError,
// a short explanation in the tool's terms, else its localized description;
// line breaks inside it become spaces. A missing item — KeychainFetchError
// dataNotFound, or an adaptor error for status -25300 — exits with
// itemNotFound, every other error with failure.
//
// Stateless; any thread may call.
//
//   catch (const std::exception& error) {
//       const auto report = orvane::cli::FailureReport::from(error);
//       std::cerr << report.line << '\n';
//       return static_cast<int>(report.status);
//   }
#pragma once

#include "orvane/ExitStatus.hpp"

#include <exception>
#include <string>

namespace orvane::cli {

struct FailureReport {
    ExitStatus status = ExitStatus::failure;
    std::string line;

    static FailureReport from(const std::exception& error);
};

}  // namespace orvane::cli

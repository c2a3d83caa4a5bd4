// SecretIO: moves secret bytes between file descriptors and Data unchanged —
// binary-safe, NUL bytes kept, nothing added or stripped — so that a secret
// never sits in a buffer that is not wiped.
//
// Failures throw NSError in "NSPOSIXErrorDomain" with the errno as code and a
// one-line localized description naming what was being read or written.
//
// Stateless functions; callers must not share one descriptor between threads.
// readSecret changes the terminal's settings while it reads, and restores them
// (also when a signal ends the process meanwhile): call it from one thread.
//
//   orvane::Data secret = orvane::cli::readSecret(STDIN_FILENO, STDERR_FILENO);
//   orvane::cli::writeAll(STDOUT_FILENO, secret, "standard output");
#pragma once

#include "Platform/Foundation/Data.hpp"
#include "Platform/Foundation/NSError.hpp"

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>

namespace orvane::cli {

// posixError: the error for a failed call with `errno` `number`; `path`, when
// given, goes under NSFilePathErrorKey.
NSError posixError(int number, const std::string& description, const std::string& path = "");

// readAll: every byte up to end of file. `what` names the source in errors.
// More than `limit` bytes fail with EFBIG.
Data readAll(int descriptor, std::string_view what,
             std::size_t limit = std::numeric_limits<std::size_t>::max());

// readSecret: the secret for store and replace. From a terminal, the line
// typed after the prompt "Secret: " (written on `prompt`), without echo and
// without its line break; from anything else, every byte up to end of file.
Data readSecret(int input, int prompt);

// writeAll: writes all of `data`, retrying short writes and interruptions.
void writeAll(int descriptor, const Data& data, std::string_view what);

}  // namespace orvane::cli

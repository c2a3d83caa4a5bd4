// SecretIO: moves secret bytes between file descriptors and Data unchanged —
// binary-safe, NUL bytes kept, nothing added or stripped — so that a secret
// never sits in a buffer that is not wiped.
//
// Failures throw NSError in "NSPOSIXErrorDomain" with the errno as code and a
// one-line localized description naming what was being read or written.
//
// Stateless functions; callers must not share one descriptor between threads.
//
//   orvane::Data secret = orvane::cli::readAll(STDIN_FILENO, "standard input");
//   orvane::cli::writeAll(STDOUT_FILENO, secret, "standard output");
#pragma once

#include "Platform/Foundation/Data.hpp"

#include <string>
#include <string_view>

namespace orvane::cli {

// readAll: every byte up to end of file. `what` names the source in errors.
Data readAll(int descriptor, std::string_view what);

// readFile: every byte of the file at `path`.
Data readFile(const std::string& path);

// writeAll: writes all of `data`, retrying short writes and interruptions.
void writeAll(int descriptor, const Data& data, std::string_view what);

}  // namespace orvane::cli

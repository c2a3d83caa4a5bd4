// ExitStatus: the statuses the `orvane` tool ends with, and their one-line
// explanations for --help.
//
//   0  success
//   1  the keychain or the file system reported an error, or the input was refused
//   2  the command line could not be understood
//   3  no such item (and nothing could be migrated or stored in its place)
//
// Constants only; any thread may read them.
//
//   return static_cast<int>(orvane::cli::ExitStatus::itemNotFound);
#pragma once

#include <string>

namespace orvane::cli {

enum class ExitStatus { success = 0, failure = 1, usage = 2, itemNotFound = 3 };

// exitStatusHelp: the table above, as printed at the end of every --help text.
inline std::string exitStatusHelp() {
    return "Exit status:\n"
           "  0  success\n"
           "  1  the keychain or the file system reported an error, or the input was refused\n"
           "  2  the command line could not be understood\n"
           "  3  no such item, and nothing could be migrated or stored in its place\n";
}

}  // namespace orvane::cli

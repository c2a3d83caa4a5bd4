// fatal: the library's one way to stop the process on a condition it cannot
// recover from.
//
// fatal(error, file, line) evaluates the message callable once, writes
// "Fatal error: <message>: file <file>, line <line>" as one line to standard
// error, and traps. It never returns. The message defaults to "Error", and
// file and line to the place of the call.
//
// Thread safety: any thread may call it; the whole process stops.
//
//   if (!invariantHolds) {
//       orvane::fatal([&] { return "lost track of " + name; });
//   }
#pragma once

#include <functional>
#include <string>

namespace orvane {

// An empty `error` (the default) reports the message "Error".
[[noreturn]] void fatal(const std::function<std::string()>& error = {}, const char* file = __builtin_FILE(),
                        unsigned line = __builtin_LINE());

}  // namespace orvane

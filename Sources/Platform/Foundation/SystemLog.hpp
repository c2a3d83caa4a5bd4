// SystemLog: the library's one plain-text log channel, the platform's NSLog.
//
// `systemLog(line)` writes one line to standard error and to syslog. The line
// is text, never a format: "%" signs, "%n" and "%s" are written as they are.
// Standard error gets a prefix like the platform's — local date and time with
// milliseconds, the process name, and [pid:tid] — then a space, the line and a
// newline, in a single write(2) so lines from different threads never mix:
//
//   2024-05-01 12:34:56.789 vault[4242:4243] Could not write to: file:///tmp/a%20b
//
// Syslog gets the line alone, at LOG_USER | LOG_NOTICE, under whatever
// identity the application chose with openlog(3) (the program name if none):
// this function never calls openlog, so it leaves the application's own
// syslog settings alone.
//
// One call is always one line: each carriage return or line feed inside the
// line is written as the two characters "\r" or "\n". Every other byte,
// backslashes included, is written unchanged, so a line without those two
// characters appears exactly as given (syslog's copy ends at a NUL byte).
//
// Thread safety: any thread may call it at any time.
#pragma once

#include <string_view>

namespace orvane {

// Logs `line` as described above.
void systemLog(std::string_view line);

// The platform's name for systemLog.
inline void NSLog(std::string_view line) {
    systemLog(line);
}

}  // namespace orvane

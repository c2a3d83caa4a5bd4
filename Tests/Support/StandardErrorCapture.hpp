// StandardErrorCapture: what code writes to standard error, for tests that
// compare system-log lines character for character.
//
// capturedStandardError(run) points file descriptor 2 at a temporary file
// while `run` runs and returns everything written there. loggedMessages()
// splits such output into lines and strips the system log's prefix
// ("2024-05-01 12:34:56.789 name[pid:tid] ") from each, leaving the messages
// as they were logged; a line without that prefix is kept whole, so a stray
// write shows up in the comparison.
//
// Not thread-safe: it swaps descriptor 2 for the whole process, so nothing
// else may log meanwhile.
//
//   auto output = testsupport::capturedStandardError([&] { file.deleteFile(); });
//   EXPECT_EQ(testsupport::loggedMessages(output),
//             std::vector<std::string>{"File doesn't exist at: /tmp/x"});
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

std::string capturedStandardError(const std::function<void()>& run);

std::vector<std::string> loggedMessages(std::string_view output);

// The messages that `run` logs.
inline std::vector<std::string> messagesLoggedBy(const std::function<void()>& run) {
    return loggedMessages(capturedStandardError(run));
}

}  // namespace testsupport

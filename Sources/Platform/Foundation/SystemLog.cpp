#include "Platform/Foundation/SystemLog.hpp"

#include <sys/time.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>

namespace orvane {

namespace {

// "2024-05-01 12:34:56.789 name[pid:tid] " for the current moment and thread.
std::string standardErrorPrefix() {
    timeval now{};
    ::gettimeofday(&now, nullptr);
    tm local{};
    ::localtime_r(&now.tv_sec, &local);
    char stamp[64];
    const std::size_t length = std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    char prefix[160];
    std::snprintf(prefix, sizeof prefix, "%.*s.%03ld %s[%ld:%ld] ", static_cast<int>(length), stamp,
                  static_cast<long>(now.tv_usec / 1000), program_invocation_short_name,
                  static_cast<long>(::getpid()), static_cast<long>(::gettid()));
    return prefix;
}

void writeAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;  // Nowhere left to report a failing standard error.
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

// The line with carriage returns and line feeds escaped.
std::string systemLogLine(std::string_view line) {
    std::string escaped;
    escaped.reserve(line.size());
    for (char c : line) {
        if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\r') {
            escaped += "\\r";
        } else {
            escaped.push_back(c);
        }
    }
    return escaped;
}

}  // namespace

void systemLog(std::string_view line) {
    const std::string text = systemLogLine(line);
    std::string output = standardErrorPrefix();
    output += text;
    output.push_back('\n');
    {
        // A single write is atomic for short lines; the lock keeps the rare
        // partial write of a long one from interleaving with another line.
        static std::mutex writing;
        const std::lock_guard lock(writing);
        writeAll(STDERR_FILENO, output);
    }
    // syslog cuts the text at a NUL byte; the "%s" format keeps it from
    // reading the line as a format.
    ::syslog(LOG_USER | LOG_NOTICE, "%s", text.c_str());
}

}  // namespace orvane

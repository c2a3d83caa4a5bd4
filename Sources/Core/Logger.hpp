// scrivlog::Logger: the log interface of the sibling log library, through
// which the reachability monitor reports what it sees.
//
// `info` and `warning` take the message as a function that makes it, so a
// logger that drops a level never pays for building the text; then the
// calling function's name, the source file and the line. Output format,
// destination and filtering belong to the implementation. SystemLogger is the
// ready-made one.
//
// Thread safety: up to each implementation; callers may log from any thread,
// so implementations must accept concurrent calls.
//
//   logger->info([] { return std::string("Network is reachable"); }, "reachable", "Sources/Net", __LINE__);
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace scrivlog {

class Logger {
public:
    // Makes the message; called at most once per log call, only if it is logged.
    using MessageMaker = std::function<std::string()>;

    Logger() = default;
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;
    virtual ~Logger() = default;

    virtual void info(const MessageMaker& message, std::string_view function, std::string_view file,
                      int line) = 0;
    virtual void warning(const MessageMaker& message, std::string_view function, std::string_view file,
                         int line) = 0;
};

}  // namespace scrivlog

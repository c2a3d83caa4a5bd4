#include "Core/SystemLogger.hpp"

#include "Platform/Foundation/SystemLog.hpp"

#include <string>

namespace scrivlog {

namespace {

void write(std::string_view level, const Logger::MessageMaker& message, std::string_view function,
           std::string_view file, int line) {
    std::string text;
    text.reserve(64);
    text.append("[").append(level).append("] ").append(file).append(":").append(std::to_string(line));
    text.append(" ").append(function).append(" - ");
    text.append(message ? message() : std::string());
    orvane::systemLog(text);
}

}  // namespace

void SystemLogger::info(const MessageMaker& message, std::string_view function, std::string_view file,
                        int line) {
    write("INFO", message, function, file, line);
}

void SystemLogger::warning(const MessageMaker& message, std::string_view function, std::string_view file,
                           int line) {
    write("WARNING", message, function, file, line);
}

}  // namespace scrivlog

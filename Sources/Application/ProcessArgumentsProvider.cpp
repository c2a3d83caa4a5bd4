#include "Application/ProcessArgumentsProvider.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <utility>

namespace orvane {

namespace {

// The whole file, read until its end (files in /proc report a size of 0);
// nothing on any error.
std::optional<std::string> readFile(const std::filesystem::path& path) {
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(descriptor, buffer, sizeof buffer);
        if (count > 0) {
            bytes.append(buffer, static_cast<std::size_t>(count));
        } else if (count == 0) {
            break;
        } else if (errno != EINTR) {
            ::close(descriptor);
            return std::nullopt;
        }
    }
    ::close(descriptor);
    return bytes;
}

}  // namespace

ProcessArgumentsProvider::ProcessArgumentsProvider(std::filesystem::path commandLineFile)
    : commandLineFile_(std::move(commandLineFile)) {}

std::vector<std::string> ProcessArgumentsProvider::arguments() const {
    const std::optional<std::string> bytes = readFile(commandLineFile_);
    if (!bytes) {
        return {};
    }
    // Every argument ends with a NUL; a process that rewrote its arguments
    // may leave the last one unterminated.
    std::vector<std::string> arguments;
    std::size_t from = 0;
    while (from < bytes->size()) {
        std::size_t end = bytes->find('\0', from);
        if (end == std::string::npos) {
            end = bytes->size();
        }
        arguments.emplace_back(*bytes, from, end - from);
        from = end + 1;
    }
    return arguments;
}

}  // namespace orvane

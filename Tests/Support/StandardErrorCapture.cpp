#include "Support/StandardErrorCapture.hpp"

#include <unistd.h>

#include <cstdio>
#include <regex>
#include <stdexcept>

namespace testsupport {

std::string capturedStandardError(const std::function<void()>& run) {
    std::FILE* file = std::tmpfile();
    if (file == nullptr) {
        throw std::runtime_error("no temporary file for standard error");
    }
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(::fileno(file), STDERR_FILENO);
    // Descriptor 2 is restored however `run` ends.
    struct Restore {
        int saved;
        ~Restore() {
            std::fflush(stderr);
            ::dup2(saved, STDERR_FILENO);
            ::close(saved);
        }
    };
    {
        const Restore restore{saved};
        try {
            run();
        } catch (...) {
            std::fclose(file);
            throw;
        }
    }
    std::string text;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;) {
        text.push_back(static_cast<char>(c));
    }
    std::fclose(file);
    return text;
}

std::vector<std::string> loggedMessages(std::string_view output) {
    static const std::regex prefix(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3} [^\[]*\[\d+:\d+\] )");
    std::vector<std::string> messages;
    while (!output.empty()) {
        const std::size_t end = output.find('\n');
        const std::string line(output.substr(0, end));
        output.remove_prefix(end == std::string_view::npos ? output.size() : end + 1);
        std::smatch match;
        if (std::regex_search(line, match, prefix)) {
            messages.push_back(match.suffix().str());
        } else {
            messages.push_back(line);
        }
    }
    return messages;
}

}  // namespace testsupport

#include "Core/Fatal.hpp"

#include <cstdio>

namespace orvane {

void fatal(const std::function<std::string()>& error, const char* file, unsigned line) {
    const std::string message = error ? error() : std::string("Error");
    std::fprintf(stderr, "Fatal error: %s: file %s, line %u\n", message.c_str(), file != nullptr ? file : "?",
                 line);
    std::fflush(stderr);
    __builtin_trap();
}

}  // namespace orvane

// ProcessArgumentsProvider: the running process's own argument vector, read
// without main's argv from /proc/self/cmdline (Linux).
//
// Each call of arguments() reads the file afresh and splits it at NUL bytes:
// the first element is the program path as the process was started (argv[0]),
// empty arguments are kept, and arguments are returned byte for byte, in
// whatever encoding they were given. When the file cannot be read, the list
// is empty. Another process's command line can be read by naming its
// /proc/<pid>/cmdline file.
//
// Thread safety: immutable; arguments() may be called from any thread.
//
//   orvane::ArgumentsFetcher fetcher(std::make_shared<orvane::ProcessArgumentsProvider>());
#pragma once

#include "Application/ArgumentsProviderType.hpp"

#include <filesystem>
#include <string>
#include <vector>

namespace orvane {

class ProcessArgumentsProvider : public ArgumentsProviderType {
public:
    explicit ProcessArgumentsProvider(std::filesystem::path commandLineFile = "/proc/self/cmdline");

    std::vector<std::string> arguments() const override;

private:
    std::filesystem::path commandLineFile_;
};

}  // namespace orvane

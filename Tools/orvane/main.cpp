// orvane: the keychain from the command line.
//
//   orvane keychain store|replace|fetch|remove --account A --service S [options]
//   orvane http get URL
//
// Secrets travel through stdin (store, replace) and stdout (fetch) as raw
// bytes. Every failure is one line on stderr. Exit statuses: 0 success,
// 1 keychain or file-system error, 2 bad command line, 3 no such item.
#include "Keychain/Keychain.hpp"
#include "orvane/CommandLine.hpp"
#include "orvane/FailureReport.hpp"
#include "orvane/HTTPCommand.hpp"
#include "orvane/KeychainCommand.hpp"

#include <unistd.h>

#include <exception>
#include <iostream>
#include <string_view>

int main(int argc, char** argv) {
    using namespace orvane::cli;
    if (argc > 1 && std::string_view(argv[1]) == "http") return runHTTPCommand(argc - 1, argv + 1);
    const ParsedCommandLine parsed = parseCommandLine(argc, argv, std::cout, std::cerr);
    if (!parsed.request) {
        return static_cast<int>(parsed.status);
    }
    try {
        orvane::Keychain keychain;
        runKeychainCommand(keychain, *parsed.request, STDIN_FILENO, STDOUT_FILENO);
        return static_cast<int>(ExitStatus::success);
    } catch (const std::exception& error) {
        const FailureReport report = FailureReport::from(error);
        std::cerr << report.line << '\n';
        return static_cast<int>(report.status);
    }
}

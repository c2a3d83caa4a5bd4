// orvane: the keychain from the command line, and HTML styled text.
//
//   orvane keychain store|replace|fetch|remove --account A --service S [options]
//   orvane html [--css RULES] [--font NAME:SIZE] [--tag TAG] [--pango]   (see HTMLCommand.hpp)
//   orvane notify --title T [--subtitle S] [--body B] [--after SECONDS] [--wait]   (see NotifyCommand.hpp)
//
// Secrets travel through stdin (store, replace) and stdout (fetch) as raw
// bytes. Every failure is one line on stderr. Exit statuses: 0 success,
// 1 keychain or file-system error, 2 bad command line, 3 no such item.
#include "Keychain/Keychain.hpp"
#include "orvane/CommandLine.hpp"
#include "orvane/FailureReport.hpp"
#include "orvane/HTMLCommand.hpp"
#include "orvane/KeychainCommand.hpp"
#include "orvane/NotifyCommand.hpp"
#include "orvane/SystemCommand.hpp"

#include <unistd.h>

#include <exception>
#include <iostream>
#include <string_view>

int main(int argc, char** argv) {
    using namespace orvane::cli;
    if (argc > 1 && std::string_view(argv[1]) == "system") return runSystemCommand(argc - 1, argv + 1);
    if (argc > 1 && std::string_view(argv[1]) == "html") return runHTMLCommand(argc - 1, argv + 1);
    if (argc > 1 && std::string_view(argv[1]) == "notify") return runNotifyCommand(argc - 1, argv + 1);
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

// orvane: the library's families from the command line, one command each.
//
//   orvane keychain store|replace|fetch|remove --account A --service S [options]
//   orvane http get URL
//   orvane system
//   orvane html [--css RULES] [--font NAME:SIZE] [--tag TAG] [--pango] < fragment.html
//   orvane reachability [--watch SECONDS]
//   orvane touchid state | authorize --reason TEXT [--fallback-title TEXT]
//   orvane notify --title T [--subtitle S] [--body B] [--after SECONDS] [--wait]
//
// Each command's header says its options and exit statuses. For the keychain,
// secrets travel through stdin (store, replace) and stdout (fetch) as raw
// bytes. Every failure is one line on stderr, in one format (FailureReport).
// Exit statuses: 0 success, 1 failure, 2 bad command line, 3 no such item.
#include "Keychain/SecKeychainProxy.hpp"
#include "orvane/CommandLine.hpp"
#include "orvane/FailureReport.hpp"
#include "orvane/HTMLCommand.hpp"
#include "orvane/HTTPCommand.hpp"
#include "orvane/KeychainCommand.hpp"
#include "orvane/NotifyCommand.hpp"
#include "orvane/ProcessSafety.hpp"
#include "orvane/ReachabilityCommand.hpp"
#include "orvane/SystemCommand.hpp"
#include "orvane/TouchIDCommand.hpp"

#include <unistd.h>

#include <iostream>
#include <memory>
#include <string_view>

namespace {

struct Command {
    orvane::cli::CommandSummary summary;
    int (*run)(int argc, char** argv);  // argv[0] is the command's word
};

constexpr Command commands[] = {
    {{"system", "print the host facts"}, orvane::cli::runSystemCommand},
    {{"touchid", "tell whether fingerprint authorization is possible, or ask for a fingerprint"},
     orvane::cli::runTouchIDCommand},
    {{"reachability", "print whether the network is reachable, and watch it change"},
     orvane::cli::runReachabilityCommand},
    {{"http", "fetch a URL and print the body"}, orvane::cli::runHTTPCommand},
    {{"notify", "post a desktop notification, and wait for the user's answer"},
     orvane::cli::runNotifyCommand},
    {{"html", "print HTML styled text as runs, or as Pango markup"}, orvane::cli::runHTMLCommand},
};

}  // namespace

int main(int argc, char** argv) {
    using namespace orvane::cli;
    const StandardStreams streams = secureProcess();
    if (argc > 1) {
        for (const Command& command : commands) {
            if (std::string_view(argv[1]) == command.summary.name) {
                return command.run(argc - 1, argv + 1);
            }
        }
    }
    CommandSummary summaries[std::size(commands)];
    for (std::size_t index = 0; index < std::size(commands); ++index) {
        summaries[index] = commands[index].summary;
    }
    const ParsedCommandLine parsed = parseCommandLine(argc, argv, std::cout, std::cerr, summaries);
    if (!parsed.request) {
        return static_cast<int>(parsed.status);
    }
    if (parsed.request->action == KeychainRequest::Action::fetch && !streams.outputWritable) {
        const FailureReport report = FailureReport::from(
            toolError(ToolFailure::outputNotWritable,
                      "standard output is not open for writing; refusing to fetch a secret"));
        std::cerr << report.line << '\n';
        return static_cast<int>(report.status);
    }
    return runKeychainCommand(*parsed.request,
                              std::make_shared<orvane::SecKeychainProxy>(parsed.request->timeout),
                              STDIN_FILENO, STDOUT_FILENO, std::cerr);
}

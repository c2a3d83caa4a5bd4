#include "orvane/CommandParsing.hpp"

#include "orvane/ExitStatus.hpp"

#include <algorithm>
#include <iostream>
#include <string>

namespace orvane::cli {

std::optional<int> parseCommand(CLI::App& app, int argc, char** argv) {
    try {
        app.parse(argc, argv);
        return std::nullopt;
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            app.exit(error, std::cout, std::cerr);  // --help
            return static_cast<int>(ExitStatus::success);
        }
        std::string message = error.what();
        std::replace(message.begin(), message.end(), '\n', ' ');
        std::cerr << app.get_name() << ": " << message << " (see '" << app.get_name() << " --help')\n";
        return static_cast<int>(ExitStatus::usage);
    }
}

}  // namespace orvane::cli

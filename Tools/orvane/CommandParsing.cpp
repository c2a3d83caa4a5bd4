#include "orvane/CommandParsing.hpp"

#include "orvane/ExitStatus.hpp"
#include "orvane/FailureReport.hpp"

#include <iostream>

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
        const FailureReport report = FailureReport::commandLine(app.get_name(), error.what());
        std::cerr << report.line << '\n';
        return static_cast<int>(report.status);
    }
}

}  // namespace orvane::cli

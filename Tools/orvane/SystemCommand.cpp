#include "orvane/SystemCommand.hpp"

#include "orvane/CommandParsing.hpp"

#include "System/System.hpp"
#include "orvane/ExitStatus.hpp"

#include <CLI/CLI.hpp>

#include <iostream>
#include <optional>
#include <string>

namespace orvane::cli {

namespace {

std::string shown(const std::optional<std::string>& fact) {
    if (!fact) {
        return "(not available)";
    }
    return fact->empty() ? "(empty)" : *fact;
}

}  // namespace

int runSystemCommand(int argc, char** argv) {
    CLI::App app("Prints facts about this machine and the current user.", "orvane system");
    app.footer(
        "The serial number is the last seven characters of the DMI or device-tree serial; the DMI\n"
        "one is readable by root only.\n\n"
        "Exit status:\n"
        "  0  the facts were printed\n"
        "  1  standard output could not be written\n"
        "  2  the command line could not be understood\n");
    if (const auto status = parseCommand(app, argc, argv)) {
        return *status;
    }

    std::cout << "Hardware model:  " << shown(System::hardwareModel()) << '\n'
              << "OS version:      " << shown(System::osVersion()) << '\n'
              << "Serial number:   " << shown(System::shortSerialNumber()) << '\n'
              << "Home folder:     " << shown(System::homeFolder()) << '\n'
              << "User name:       " << shown(System::userName()) << '\n';
    if (!std::cout.flush()) {
        std::cerr << "orvane system: cannot write to standard output\n";
        return static_cast<int>(ExitStatus::failure);
    }
    return static_cast<int>(ExitStatus::success);
}

}  // namespace orvane::cli

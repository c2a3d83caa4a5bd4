#include "orvane/ReachabilityCommand.hpp"

#include "orvane/CommandParsing.hpp"

#include "Core/Logger.hpp"
#include "Platform/Dispatch/MainLoop.hpp"
#include "Reachability/NetworkReachability.hpp"
#include "orvane/ExitStatus.hpp"

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

namespace orvane::cli {

namespace {

const char* stateText(bool reachable) {
    return reachable ? "reachable" : "not reachable";
}

// Changes are printed by the observer; only trouble goes to stderr.
class WarningLogger : public scrivlog::Logger {
public:
    void info(const MessageMaker&, std::string_view, std::string_view, int) override {}
    void warning(const MessageMaker& message, std::string_view, std::string_view, int) override {
        std::cerr << "orvane: " << message() << '\n';
    }
};

class PrintingObserver : public NetworkReachabilityObserving {
public:
    void networkDidBecomeAvailable() override { print(true); }
    void networkDidBecomeUnavailable() override { print(false); }

private:
    static void print(bool reachable) {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        char time[16];
        std::strftime(time, sizeof time, "%H:%M:%S", &local);
        std::printf("%s %s\n", time, stateText(reachable));
        std::fflush(stdout);
    }
};

// requireSeconds: accepts a number of seconds from 0 to a year.
std::string requireSeconds(const std::string& value) {
    double seconds = -1;
    std::size_t used = 0;
    try {
        seconds = std::stod(value, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != value.size() || !(seconds >= 0 && seconds <= 366.0 * 24 * 3600)) {
        return "expected a number of seconds from 0 to a year, got '" + value + "'";
    }
    return {};
}

}  // namespace

int runReachabilityCommand(int argc, char** argv) {
    double watchSeconds = 0;
    CLI::App app(
        "Says whether the network is reachable (a default route, or NetworkManager's view), "
        "and follows its changes.",
        "orvane reachability");
    app.footer("Exit status:\n  0  success\n  2  the command line could not be understood\n");
    app.add_option("--watch", watchSeconds, "keep printing each change for SECONDS")
        ->type_name("SECONDS")
        ->check(requireSeconds);
    if (const auto status = parseCommand(app, argc, argv)) {
        return *status;
    }

    auto reachability = NetworkReachability::create(std::make_shared<WarningLogger>());
    auto observer = std::make_shared<PrintingObserver>();
    reachability->addObserver(observer);
    std::printf("%s\n", stateText(reachability->reachable()));
    std::fflush(stdout);
    if (watchSeconds > 0) {
        MainLoop::runFor(std::chrono::milliseconds(static_cast<long long>(watchSeconds * 1000)));
    }
    return static_cast<int>(ExitStatus::success);
}

}  // namespace orvane::cli

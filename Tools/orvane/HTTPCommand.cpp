#include "orvane/HTTPCommand.hpp"

#include "orvane/CommandParsing.hpp"

#include "orvane/ExitStatus.hpp"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <future>
#include <iostream>
#include <string>

#if ORVANE_TOOL_WITH_HTTP
#include "System/HTTPClientURLSession.hpp"
#endif

namespace orvane::cli {

int runHTTPCommand(int argc, char** argv) {
    CLI::App app("Fetches a URL with an HTTP GET; the body goes to standard output.", "orvane http");
    app.require_subcommand(1);
    std::string text;
    CLI::App* get = app.add_subcommand("get", "write the body of URL to standard output");
    get->add_option("URL", text, "an http or https URL")->required();
    app.footer(
        "Exit status:\n  0  the body was written\n  1  the request failed (one line on stderr)\n"
        "  2  the command line could not be understood\n");
    if (const auto status = parseCommand(app, argc, argv)) {
        return *status;
    }
#if ORVANE_TOOL_WITH_HTTP
    const auto url = URL::fromString(text);
    if (!url) {
        std::cerr << "orvane http: not a URL\n";
        return static_cast<int>(ExitStatus::usage);
    }
    std::promise<Result<std::optional<Data>, NSError>> outcome;
    HTTPClientURLSession client;
    client.get(*url, [&outcome](Result<std::optional<Data>, NSError> result) { outcome.set_value(std::move(result)); });
    const auto result = outcome.get_future().get();
    if (const auto* error = result.errorIf()) {
        const auto message = error->userInfo().find(NSDebugDescriptionErrorKey);
        std::cerr << (message != error->userInfo().end() ? message->second.as<std::string>().value_or("") : "")
                  << '\n';
        return static_cast<int>(ExitStatus::failure);
    }
    if (const auto& body = *result.valueIf(); body && !body->empty()) {
        if (std::fwrite(body->data(), 1, body->size(), stdout) != body->size() || std::fflush(stdout) != 0) {
            std::cerr << "orvane http: cannot write the body to standard output\n";
            return static_cast<int>(ExitStatus::failure);
        }
    }
    return static_cast<int>(ExitStatus::success);
#else
    std::cerr << "orvane http: this build has no HTTP client (built without libcurl)\n";
    return static_cast<int>(ExitStatus::failure);
#endif
}

}  // namespace orvane::cli

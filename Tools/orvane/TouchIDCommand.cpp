#include "orvane/TouchIDCommand.hpp"

#include "orvane/CommandParsing.hpp"

#include "Authentication/AuthenticationPromptPresenter.hpp"
#include "Authentication/TouchID.hpp"
#include "orvane/ExitStatus.hpp"

#include <CLI/CLI.hpp>

#include <future>
#include <iostream>
#include <memory>
#include <string>

namespace orvane::cli {

namespace {

// TerminalPrompt: the prompt as one line on standard error.
class TerminalPrompt : public AuthenticationPromptPresenter {
public:
    void show(const AuthenticationPrompt& prompt, std::function<void()>) override {
        std::cerr << "Touch the fingerprint reader: " << prompt.localizedReason << std::endl;
    }
    void dismiss() override {}
};

std::string explanation(const TouchIDError& error) {
    switch (error.errorCase()) {
        case TouchIDErrorCase::hardwareUnavailable:
            return "no fingerprint reader is available";
        case TouchIDErrorCase::hardwareNotConfigured:
            return "no fingerprint is enrolled (enroll one with fprintd-enroll)";
        case TouchIDErrorCase::hardwareLockout:
            return "too many failed attempts; try again later";
        case TouchIDErrorCase::systemNotSupported:
            return "this system offers no fingerprint service (fprintd)";
        case TouchIDErrorCase::pendingAuthorization:
            return "another authorization is in progress";
        case TouchIDErrorCase::underlyingError:
            return error.underlying() ? error.underlying()->localizedDescription() : "authorization failed";
        case TouchIDErrorCase::unknownError:
            break;
    }
    return "authorization failed";
}

}  // namespace

int runTouchIDCommand(int argc, char** argv) {
    CLI::App app("Fingerprint authorization through fprintd.", "orvane touchid");
    app.require_subcommand(1);
    app.footer(
        "Exit status:\n"
        "  0  the state was printed, or the finger was recognised\n"
        "  1  not recognised, or authorization is not possible (one line says why)\n"
        "  2  the command line could not be understood\n");
    app.add_subcommand("state", "Print whether fingerprint authorization is possible now");
    auto* authorize = app.add_subcommand("authorize", "Ask for a fingerprint");
    std::string reason;
    std::string fallbackTitle;
    authorize->add_option("--reason", reason, "What the authorization is for")->required();
    authorize->add_option("--fallback-title", fallbackTitle, "Title of the fallback action");
    if (const auto status = parseCommand(app, argc, argv)) {
        return *status;
    }

    const auto touchID = TouchID::create();
    if (!authorize->parsed()) {
        std::cout << touchID->state().rawValue() << '\n';
        if (!std::cout.flush()) {
            std::cerr << "orvane touchid: cannot write to standard output\n";
            return static_cast<int>(ExitStatus::failure);
        }
        return static_cast<int>(ExitStatus::success);
    }

    setAuthenticationPromptPresenter(std::make_shared<TerminalPrompt>());
    auto outcome = std::make_shared<std::promise<Result<void, TouchIDError>>>();
    auto replied = outcome->get_future();
    touchID->authorize(reason, fallbackTitle,
                       [outcome](Result<void, TouchIDError> result) { outcome->set_value(std::move(result)); });
    const auto result = replied.get();
    setAuthenticationPromptPresenter(nullptr);
    if (const auto error = result.error()) {
        std::cerr << "orvane touchid: " << explanation(*error) << '\n';
        return static_cast<int>(ExitStatus::failure);
    }
    return static_cast<int>(ExitStatus::success);
}

}  // namespace orvane::cli

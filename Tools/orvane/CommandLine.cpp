#include "orvane/CommandLine.hpp"

#include "orvane/FailureReport.hpp"

#include <CLI/CLI.hpp>

#include <cmath>
#include <ostream>
#include <string>

namespace orvane::cli {

namespace {

// requireItemAddress: rejects a value that does not split into ACCOUNT:SERVICE.
std::string requireItemAddress(const std::string& value) {
    return ItemAddress::parse(value) ? std::string() : "expected ACCOUNT:SERVICE, got '" + value + "'";
}

CLI::App* addAction(CLI::App& keychain, const char* name, const char* description, KeychainRequest& request,
                    KeychainRequest::Action action, double& timeoutSeconds) {
    CLI::App* command = keychain.add_subcommand(name, description);
    command->footer(exitStatusHelp());
    command->add_option("--account", request.account, "the item's account")->required();
    command->add_option("--service", request.service, "the item's service")->required();
    command
        ->add_option("--timeout", timeoutSeconds,
                     "give up each keychain call, an unlock prompt included, after this long (default 10)")
        ->type_name("SECONDS")
        ->check(CLI::Range(0.001, 86400.0));
    command->callback([&request, action] { request.action = action; });
    return command;
}

void addSecretOptions(CLI::App& command, KeychainRequest& request) {
    command.add_flag("--allow-empty", request.allowEmpty, "accept an empty secret");
}

void addProtectionOptions(CLI::App& command, KeychainRequest& request) {
    command.add_option("--name", request.name, "the item's label, written when it is created");
    command.add_option("--descriptor", request.descriptor,
                       "the name of its access record (default: the account)");
    command
        .add_option("--acl", request.aclPaths,
                    "an application trusted to read the item without a prompt (repeat for several)")
        ->type_name("PATH")
        ->allow_extra_args(false);
}

}  // namespace

ParsedCommandLine parseCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                                   std::span<const CommandSummary> otherCommands) {
    KeychainRequest request;
    std::string migratingFrom;
    std::string migratingInsecurelyFrom;
    std::string replacingWithFile;
    double timeoutSeconds = 0;

    CLI::App app("The TarvelOrvane library's families from the command line.", "orvane");
    app.footer(exitStatusHelp());
    app.set_version_flag("--version", "orvane " ORVANE_TOOL_VERSION);
    app.require_subcommand(1);
    CLI::App* keychain = app.add_subcommand("keychain", "store, fetch, replace or remove a secret");
    for (const CommandSummary& command : otherCommands) {
        app.add_subcommand(command.name, command.description);
    }
    keychain->footer(exitStatusHelp());
    keychain->require_subcommand(1);

    using Action = KeychainRequest::Action;
    CLI::App* store = addAction(*keychain, "store", "store the secret read from stdin as a new item", request,
                                Action::store, timeoutSeconds);
    addProtectionOptions(*store, request);
    addSecretOptions(*store, request);
    CLI::App* replace =
        addAction(*keychain, "replace", "delete the item, then store the secret read from stdin", request,
                  Action::replace, timeoutSeconds);
    addProtectionOptions(*replace, request);
    addSecretOptions(*replace, request);
    CLI::App* fetch = addAction(*keychain, "fetch", "write the item's secret to stdout", request,
                                Action::fetch, timeoutSeconds);
    addProtectionOptions(*fetch, request);
    CLI::Option* migrating = fetch
                                 ->add_option("--migrating-from", migratingFrom,
                                              "when missing, copy this older item (trust checked)")
                                 ->type_name("ACCOUNT:SERVICE")
                                 ->check(requireItemAddress);
    CLI::Option* migratingInsecurely =
        fetch
            ->add_option("--migrating-insecurely-from", migratingInsecurelyFrom,
                         "when missing, copy this older item without checking its trust")
            ->type_name("ACCOUNT:SERVICE")
            ->check(requireItemAddress);
    CLI::Option* replacing =
        fetch
            ->add_option("--replacing-with-file", replacingWithFile,
                         "when missing or trusting a foreign application, store this file's bytes "
                         "(a regular file of at most 16 MiB, read only then)")
            ->type_name("FILE");
    fetch->add_flag("--bypassing-acl-checks", request.bypassingACLChecks,
                    "read without comparing the item's trusted applications with --acl");
    addAction(*keychain, "remove", "delete the item (a missing item is no failure)", request, Action::remove,
              timeoutSeconds);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            app.exit(error, out, err);  // --help, --version
            return {std::nullopt, ExitStatus::success};
        }
        std::string message = error.what();
        // An unknown command word shows up as a missing subcommand; name the word instead.
        for (const CLI::App* level : {keychain, &app}) {
            if (!level->remaining().empty() && level->get_subcommands().empty()) {
                message = "unknown command '" + level->remaining().front() + "'";
                break;
            }
        }
        const FailureReport report = FailureReport::commandLine("orvane", message);
        err << report.line << '\n';
        return {std::nullopt, report.status};
    }

    if (migrating->count() > 0) {
        request.migratingFrom = ItemAddress::parse(migratingFrom);
    }
    if (migratingInsecurely->count() > 0) {
        request.migratingInsecurelyFrom = ItemAddress::parse(migratingInsecurelyFrom);
    }
    if (timeoutSeconds > 0) {
        request.timeout = std::chrono::milliseconds(std::llround(timeoutSeconds * 1000));
    }
    if (replacing->count() > 0) {
        request.replacingWithFile = replacingWithFile;
    }
    return {std::move(request), ExitStatus::success};
}

}  // namespace orvane::cli

#include "orvane/KeychainCommand.hpp"

#include "Keychain/Keychain.hpp"
#include "Keychain/KeychainFetchError.hpp"
#include "Platform/Foundation/Object.hpp"
#include "orvane/FailureReport.hpp"
#include "orvane/LabelWatchingProxy.hpp"
#include "orvane/ReplacementFile.hpp"
#include "orvane/SecretIO.hpp"

#include <unistd.h>

#include <optional>
#include <ostream>

namespace orvane::cli {

namespace {

// Every fetch option but the replacement, which is read only when needed.
KeychainFetchOptions fetchOptions(const KeychainRequest& request) {
    KeychainFetchOptions options;
    if (request.migratingFrom) {
        options.emplace(KeychainFetchOptionsKey::migratingFrom,
                        toObject(request.olderKey(*request.migratingFrom)));
    }
    if (request.migratingInsecurelyFrom) {
        options.emplace(KeychainFetchOptionsKey::migratingInsecurelyFrom,
                        toObject(request.olderKey(*request.migratingInsecurelyFrom)));
    }
    if (request.bypassingACLChecks) {
        options.emplace(KeychainFetchOptionsKey::bypassingACLChecks, Object(true));
    }
    return options;
}

// fetch: the fetch with the replacement's bytes added only when the fetch
// without them ends where the replacement would be used — the item missing
// and nothing migrated, or the item itself (not an older one) trusting a
// foreign application. The second fetch then takes the same path, with the
// replacement at hand.
Data fetch(Keychain& keychain, SecKeychainProxyType& proxy, const KeychainRequest& request,
           const ReplacementFile* replacement) {
    KeychainFetchOptions options = fetchOptions(request);
    try {
        return keychain.fetch(request.key(), options);
    } catch (const KeychainFetchError& error) {
        const bool migrating = request.migratingFrom || request.migratingInsecurelyFrom;
        if (replacement == nullptr || (error.errorCase() == KeychainFetchError::Case::invalidACL &&
                                       migrating && !proxy.fetchItem(request.account, request.service))) {
            throw;
        }
    }
    options.emplace(KeychainFetchOptionsKey::replacingWithData, Object(replacement->read()));
    return keychain.fetch(request.key(), options);
}

Data readSecretToStore(const KeychainRequest& request, int input, int prompt) {
    Data secret = readSecret(input, prompt);
    if (secret.empty() && !request.allowEmpty) {
        throw toolError(ToolFailure::emptySecret, "the secret is empty; give --allow-empty to store it");
    }
    return secret;
}

}  // namespace

int runKeychainCommand(const KeychainRequest& request, std::shared_ptr<SecKeychainProxyType> proxy, int input,
                       int output, std::ostream& err) {
    const auto watch = std::make_shared<LabelWatchingProxy>(std::move(proxy));
    try {
        Keychain keychain(watch);
        switch (request.action) {
            case KeychainRequest::Action::store:
                keychain.store(request.key(), readSecretToStore(request, input, STDERR_FILENO));
                break;
            case KeychainRequest::Action::replace:
                keychain.replace(request.key(), readSecretToStore(request, input, STDERR_FILENO));
                break;
            case KeychainRequest::Action::fetch: {
                std::optional<ReplacementFile> replacement;
                if (request.replacingWithFile) {
                    replacement.emplace(*request.replacingWithFile);
                }
                const Data secret = fetch(keychain, *watch, request, replacement ? &*replacement : nullptr);
                if (watch->wroteEmptyLabel()) {
                    err << "orvane: warning: the fetch wrote the item anew with an empty label; "
                           "give --name (and --descriptor) to keep them\n";
                }
                writeAll(output, secret, "the secret to standard output");
                break;
            }
            case KeychainRequest::Action::remove:
                keychain.remove(request.key());
                break;
        }
        return static_cast<int>(ExitStatus::success);
    } catch (const std::exception& error) {
        const FailureReport report = FailureReport::from(error);
        err << report.line << '\n';
        return static_cast<int>(report.status);
    }
}

}  // namespace orvane::cli

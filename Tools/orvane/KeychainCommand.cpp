#include "orvane/KeychainCommand.hpp"

#include "Platform/Foundation/Object.hpp"
#include "orvane/SecretIO.hpp"

namespace orvane::cli {

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
    if (request.replacingWithFile) {
        options.emplace(KeychainFetchOptionsKey::replacingWithData,
                        Object(readFile(*request.replacingWithFile)));
    }
    if (request.bypassingACLChecks) {
        options.emplace(KeychainFetchOptionsKey::bypassingACLChecks, Object(true));
    }
    return options;
}

void runKeychainCommand(KeychainType& keychain, const KeychainRequest& request, int input, int output) {
    switch (request.action) {
        case KeychainRequest::Action::store:
            keychain.store(request.key(), readAll(input, "the secret from standard input"));
            return;
        case KeychainRequest::Action::replace:
            keychain.replace(request.key(), readAll(input, "the secret from standard input"));
            return;
        case KeychainRequest::Action::fetch:
            writeAll(output, keychain.fetch(request.key(), fetchOptions(request)),
                     "the secret to standard output");
            return;
        case KeychainRequest::Action::remove:
            keychain.remove(request.key());
            return;
    }
}

}  // namespace orvane::cli

#include "Keychain/Keychain.hpp"

#include "Keychain/KeychainFetchError.hpp"

#include <algorithm>
#include <set>
#include <stdexcept>
#include <utility>

namespace orvane {

namespace {

// The value under `key` when it has type T; a value of any other type counts as absent.
template <class T>
std::optional<T> optionValue(const KeychainFetchOptions& options, KeychainFetchOptionsKey key) {
    const auto found = options.find(key);
    if (found == options.end()) {
        return std::nullopt;
    }
    return found->second.as<T>();
}

}  // namespace

Keychain::Keychain(std::shared_ptr<SecKeychainProxyType> proxy) : proxy_(std::move(proxy)) {
    if (!proxy_) {
        throw std::invalid_argument("Keychain needs a keychain adaptor");
    }
}

void Keychain::store(const KeychainKey& key, const Data& data) {
    proxy_->addItem(key.account(), key.service(), key.name(), key.descriptor(), key.aclPaths(), data);
}

void Keychain::replace(const KeychainKey& key, const Data& data) {
    proxy_->deleteItem(key.account(), key.service());
    store(key, data);
}

void Keychain::remove(const KeychainKey& key) {
    proxy_->deleteItem(key.account(), key.service());
}

Data Keychain::fetchCheckingACL(const KeychainKey& key, bool checkingACL) {
    const auto item = proxy_->fetchItem(key.account(), key.service());
    if (!item) {
        throw KeychainFetchError::dataNotFound();
    }
    // The bytes are read before the trust check so that incompleteACL can carry them.
    auto bytes = proxy_->fetchData(key.account(), key.service());
    if (!bytes) {
        throw KeychainFetchError::dataNotFound();
    }
    if (!checkingACL) {
        return std::move(*bytes);
    }
    const auto itemBlobs = proxy_->trustedApplicationsData(*item);
    const auto keyBlobs = proxy_->trustedApplicationsData(key.aclPaths());
    const std::set<Data> trusted(itemBlobs.begin(), itemBlobs.end());
    const std::set<Data> wanted(keyBlobs.begin(), keyBlobs.end());
    if (trusted == wanted) {
        return std::move(*bytes);
    }
    if (std::includes(wanted.begin(), wanted.end(), trusted.begin(), trusted.end())) {
        throw KeychainFetchError::incompleteACL(std::move(*bytes));
    }
    throw KeychainFetchError::invalidACL();
}

Data Keychain::fetch(const KeychainKey& key, const KeychainFetchOptions& options) {
    const auto replacement = optionValue<Data>(options, KeychainFetchOptionsKey::replacingWithData);
    const bool bypassing =
        optionValue<bool>(options, KeychainFetchOptionsKey::bypassingACLChecks).value_or(false);

    // Any error other than a KeychainFetchError leaves here unchanged.
    std::optional<KeychainFetchError> failure;
    try {
        return fetchCheckingACL(key, !bypassing);
    } catch (const KeychainFetchError& error) {
        failure = error;
    }

    switch (failure->errorCase()) {
        case KeychainFetchErrorCase::invalidACL:
            if (!replacement) {
                throw *failure;
            }
            proxy_->deleteItem(key.account(), key.service());
            store(key, *replacement);
            return *replacement;
        case KeychainFetchErrorCase::incompleteACL: {
            // Re-creating the item gives it the key's full application list, label and descriptor.
            // Should the add fail, the item is gone and the add's error is what the caller sees.
            const Data& bytes = *failure->data();
            proxy_->deleteItem(key.account(), key.service());
            store(key, bytes);
            return bytes;
        }
        case KeychainFetchErrorCase::dataNotFound:
            break;
    }
    return recoverMissingItem(key, options, replacement);
}

Data Keychain::recoverMissingItem(const KeychainKey& key, const KeychainFetchOptions& options,
                                  const std::optional<Data>& replacement) {
    auto olderKey = optionValue<KeychainKey>(options, KeychainFetchOptionsKey::migratingFrom);
    if (!olderKey) {
        olderKey = optionValue<KeychainKey>(options, KeychainFetchOptionsKey::migratingInsecurelyFrom);
    }
    if (!olderKey) {
        if (!replacement) {
            throw KeychainFetchError::dataNotFound();
        }
        store(key, *replacement);
        return *replacement;
    }

    // Any entry under migratingFrom asks for the older item's trust to be checked, even one
    // whose value is not a key and so named no older item.
    const bool checkingACL = options.contains(KeychainFetchOptionsKey::migratingFrom);
    std::optional<KeychainFetchError> failure;
    try {
        Data bytes = fetchCheckingACL(*olderKey, checkingACL);
        // The older item stays as it is; only the new key's item is written.
        store(key, bytes);
        return bytes;
    } catch (const KeychainFetchError& error) {
        failure = error;
    }

    switch (failure->errorCase()) {
        case KeychainFetchErrorCase::invalidACL:
            throw *failure;
        case KeychainFetchErrorCase::incompleteACL:
            store(key, *failure->data());
            return *failure->data();
        case KeychainFetchErrorCase::dataNotFound:
            break;
    }
    if (!replacement) {
        throw *failure;
    }
    store(key, *replacement);
    return *replacement;
}

}  // namespace orvane

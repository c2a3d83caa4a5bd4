// KeychainRequest: one `orvane keychain` command as read from the command
// line — the action, the key it names, and the fetch options it asks for —
// before any keychain or file is touched.
//
// An older item named by a migration option is addressed by account and
// service only; it takes the request's name, descriptor and trusted
// applications (olderKey).
//
// Plain value; one thread at a time.
//
//   auto older = orvane::cli::ItemAddress::parse("alice:com.example.old");   // split at the first ':'
//   orvane::KeychainKey key = request.key();
#pragma once

#include "Keychain/KeychainKey.hpp"
#include "Keychain/SecKeychainProxy.hpp"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::cli {

// ItemAddress: the account and service that identify an item.
struct ItemAddress {
    std::string account;
    std::string service;

    // parse: "ACCOUNT:SERVICE" split at the first ':'; nothing without one,
    // or when either part is empty.
    static std::optional<ItemAddress> parse(std::string_view text);

    friend bool operator==(const ItemAddress&, const ItemAddress&) = default;
};

struct KeychainRequest {
    enum class Action { store, replace, fetch, remove };

    Action action = Action::fetch;
    std::string account;
    std::string service;
    std::string name;
    std::string descriptor;
    std::vector<std::string> aclPaths;
    // The bound of each keychain call.
    std::chrono::milliseconds timeout = SecKeychainProxy::defaultTimeout;
    // store, replace: whether an empty secret is accepted.
    bool allowEmpty = false;

    // Fetch options.
    std::optional<ItemAddress> migratingFrom;
    std::optional<ItemAddress> migratingInsecurelyFrom;
    std::optional<std::string> replacingWithFile;
    bool bypassingACLChecks = false;

    // key: the key the command works on.
    KeychainKey key() const;
    // olderKey: the key of an older item, protected like this one.
    KeychainKey olderKey(const ItemAddress& address) const;
};

}  // namespace orvane::cli

// KeychainKey: names one generic-password item in the keychain and says how
// it is to be protected.
//
//   - account, service: the item's attributes; together they identify it.
//     Two keys with the same account and service address the same item
//     whatever their other fields say.
//   - name: the item's label, written when the item is created.
//   - descriptor: the name of the item's access record, shown in access
//     prompts; when empty, the account stands in for it.
//   - acl: the applications that may read the item without a prompt. Order
//     carries no meaning and repeats are harmless; an empty list is valid and
//     means the item should trust no application.
//
// Equality and hashing compare every field, the acl in order.
//
// Immutable value; safe to share between threads.
//
//   orvane::KeychainKey key("alice", "com.example.vault", "Vault master key", "",
//                           {orvane::KeychainTrustedApp("/usr/bin/vault")});
#pragma once

#include "Keychain/KeychainTrustedApp.hpp"

#include <functional>
#include <string>
#include <vector>

namespace orvane {

class KeychainKey {
public:
    KeychainKey(std::string account, std::string service, std::string name, std::string descriptor,
                std::vector<KeychainTrustedApp> acl);

    const std::string& account() const noexcept { return account_; }
    const std::string& service() const noexcept { return service_; }
    const std::string& name() const noexcept { return name_; }
    const std::string& descriptor() const noexcept { return descriptor_; }
    const std::vector<KeychainTrustedApp>& acl() const noexcept { return acl_; }

    // aclPaths: the path of each trusted application, in acl order.
    std::vector<std::string> aclPaths() const;

    friend bool operator==(const KeychainKey&, const KeychainKey&) = default;

    std::size_t hashValue() const noexcept;

private:
    std::string account_;
    std::string service_;
    std::string name_;
    std::string descriptor_;
    std::vector<KeychainTrustedApp> acl_;
};

}  // namespace orvane

template <>
struct std::hash<orvane::KeychainKey> {
    std::size_t operator()(const orvane::KeychainKey& key) const noexcept { return key.hashValue(); }
};

// KeychainType: the interface of a store that keeps one secret per
// KeychainKey; applications depend on it so a substitute can stand in.
//
// Requirements:
//   - fetch(key, options): the item's bytes, after whatever checking,
//     repairing, migrating or replacing the options call for;
//   - replace(key, data): delete the item, then store the bytes;
//   - store(key, data): create the item; fails when it exists;
//   - remove(key): delete the item; a missing item is no failure.
// All of them throw on failure. fetch(key) is not a requirement: it is
// fetch(key, options) with no options and cannot be replaced. A conforming
// class that overrides fetch(key, options) brings it back into view with
// `using KeychainType::fetch;`.
//
// Thread rules are the implementation's; Keychain takes no lock.
//
//   void unlock(orvane::KeychainType& keychain, const orvane::KeychainKey& key) {
//       orvane::Data secret = keychain.fetch(key);
//   }
#pragma once

#include "Keychain/KeychainFetchOptions.hpp"
#include "Keychain/KeychainKey.hpp"
#include "Platform/Foundation/Data.hpp"

namespace orvane {

class KeychainType {
public:
    KeychainType() = default;
    KeychainType(const KeychainType&) = delete;
    KeychainType& operator=(const KeychainType&) = delete;
    virtual ~KeychainType() = default;

    virtual Data fetch(const KeychainKey& key, const KeychainFetchOptions& options) = 0;
    virtual void replace(const KeychainKey& key, const Data& data) = 0;
    virtual void store(const KeychainKey& key, const Data& data) = 0;
    virtual void remove(const KeychainKey& key) = 0;

    // fetch: fetch(key, options) with an empty option dictionary.
    Data fetch(const KeychainKey& key) { return fetch(key, KeychainFetchOptions{}); }
};

}  // namespace orvane

// Keychain: the store for secrets, one generic-password item per KeychainKey,
// protected so that only the applications in the key's acl read it without a
// prompt. Every operation goes through its adaptor (SecKeychainProxyType) to
// the keychain; nothing is cached and no secret is kept.
//
//   - store(key, data): adds the item with the key's label, descriptor and
//     applications; fails with the adaptor's error when the item exists.
//   - replace(key, data): deletes, then stores. Not atomic: when the add
//     fails after the delete, the item is gone and the add's error thrown.
//   - remove(key): deletes; removing a missing item succeeds.
//   - fetch(key, options): reads the item and compares the applications it
//     trusts with the key's, as sets of identity blobs:
//       equal                 -> the bytes;
//       a strict subset       -> the item is deleted and re-created with the
//                                key's full list, and the bytes returned;
//       a foreign application -> invalidACL, unless replacingWithData gives
//                                bytes: then the item is deleted and those
//                                bytes stored and returned;
//       no item               -> migrate from migratingFrom (trust checked) or
//                                migratingInsecurelyFrom (unchecked), leaving
//                                the older item in place; failing that, store
//                                replacingWithData; failing that, dataNotFound.
//     bypassingACLChecks true reads without the comparison. The first delete
//     or add that fails during a repair, migration or replacement ends the
//     fetch with its error; a repair that fails after its delete leaves no
//     item.
// Errors: KeychainFetchError (fetch only) or the adaptor's error, unchanged.
//
// A library configured without the Secret Service (ORVANE_WITH_SECRET_SERVICE
// OFF; see Keychain/KeychainBuildOptions.hpp) has no platform adaptor and no
// Keychain(): code that calls it does not compile, and the store is made
// over an adaptor the application supplies.
//
// Thread safety: no lock is taken; calls run synchronously on the caller's
// thread and are as safe to overlap as the adaptor is, except that
// concurrent repairs or migrations of one item can interleave their deletes
// and adds. Callers serialise access to one key when that matters.
//
//   auto keychain = std::make_shared<orvane::Keychain>();
//   keychain->store(key, orvane::Data("hunter2"));
//   orvane::Data secret = keychain->fetch(key);
#pragma once

#include "Keychain/KeychainBuildOptions.hpp"
#include "Keychain/KeychainType.hpp"
#include "Keychain/SecKeychainProxyType.hpp"

#include <chrono>
#include <memory>

namespace orvane {

class Keychain : public KeychainType {
public:
#if ORVANE_WITH_SECRET_SERVICE
    // Keychain: a store over the platform keychain adaptor, SecKeychainProxy,
    // each call bounded by its default of 10 s.
    Keychain();
    // Keychain(timeout): the same with another bound, e.g. a longer one for
    // users who take their time typing the unlock password at the prompt.
    explicit Keychain(std::chrono::milliseconds timeout);
#endif
    // Keychain(proxy): a store over the given adaptor, e.g. an
    // InMemoryKeychainProxy in tests. `proxy` must not be null.
    explicit Keychain(std::shared_ptr<SecKeychainProxyType> proxy);

    using KeychainType::fetch;
    Data fetch(const KeychainKey& key, const KeychainFetchOptions& options) override;
    void replace(const KeychainKey& key, const Data& data) override;
    void store(const KeychainKey& key, const Data& data) override;
    void remove(const KeychainKey& key) override;

private:
    // fetchCheckingACL: the item's bytes; with the check on, only when the
    // item trusts exactly the key's applications (KeychainFetchError otherwise).
    Data fetchCheckingACL(const KeychainKey& key, bool checkingACL);
    Data recoverMissingItem(const KeychainKey& key, const KeychainFetchOptions& options,
                            const std::optional<Data>& replacement);

    const std::shared_ptr<SecKeychainProxyType> proxy_;
};

}  // namespace orvane

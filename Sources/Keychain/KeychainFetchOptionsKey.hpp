// KeychainFetchOptionsKey: the options that steer Keychain::fetch, and the
// value each one expects (see KeychainFetchOptions):
//
//   - migratingFrom (KeychainKey): when the item is missing, copy the data of
//     this older item into it, checking the older item's trusted applications;
//   - migratingInsecurelyFrom (KeychainKey): the same without that check;
//   - replacingWithData (Data): when the item is missing (and nothing could be
//     migrated) or trusts a foreign application, store these bytes as the item;
//   - bypassingACLChecks (bool): when true, read without comparing the item's
//     trusted applications with the key's.
//
// A plain enumeration: equal exactly when the case is the same, hashed by
// std::hash (the standard library's hash of an enumeration follows the case).
#pragma once

#include <functional>

namespace orvane {

enum class KeychainFetchOptionsKey {
    migratingFrom,
    migratingInsecurelyFrom,
    replacingWithData,
    bypassingACLChecks
};

}  // namespace orvane

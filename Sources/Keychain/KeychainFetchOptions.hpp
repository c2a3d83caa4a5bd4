// KeychainFetchOptions: the option dictionary of Keychain::fetch, from a
// KeychainFetchOptionsKey to a dynamic value.
//
// Each key expects one type: a KeychainKey (boxed with toObject) under the
// two migration keys, Data under replacingWithData, a Boolean under
// bypassingACLChecks. A value of another type counts as absent — with one
// exception: any entry under migratingFrom, whatever its value, turns the
// check of the older item's trusted applications on when a migration reads
// the key under migratingInsecurelyFrom. An empty dictionary is a plain read
// with the trust check.
//
// Value type; const access from many threads is safe.
//
//   orvane::KeychainFetchOptions options{
//       {orvane::KeychainFetchOptionsKey::migratingFrom, orvane::toObject(olderKey)},
//       {orvane::KeychainFetchOptionsKey::replacingWithData, orvane::Data("fresh secret")},
//   };
#pragma once

#include "Keychain/KeychainFetchOptionsKey.hpp"
#include "Platform/Foundation/Object.hpp"

#include <unordered_map>

namespace orvane {

using KeychainFetchOptions = std::unordered_map<KeychainFetchOptionsKey, Object>;

}  // namespace orvane

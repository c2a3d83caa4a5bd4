// KeychainCommand: carries out one KeychainRequest against a store.
//
//   store, replace: the secret is every byte of `input`;
//   fetch:          the secret (after whatever the options call for) is
//                   written to `output`, byte for byte;
//   remove:         deletes the item; a missing item is no failure.
//
// The secret stays in Data from the read to the write. Errors of the store
// and of the file system are thrown unchanged (see FailureReport).
//
// Runs on the caller's thread; as thread-safe as the store it is given.
//
//   orvane::Keychain keychain;
//   orvane::cli::runKeychainCommand(keychain, request, STDIN_FILENO, STDOUT_FILENO);
#pragma once

#include "Keychain/KeychainFetchOptions.hpp"
#include "Keychain/KeychainType.hpp"
#include "orvane/KeychainRequest.hpp"

namespace orvane::cli {

// fetchOptions: the fetch options the request asks for; reads the
// replacement file, if one is named.
KeychainFetchOptions fetchOptions(const KeychainRequest& request);

void runKeychainCommand(KeychainType& keychain, const KeychainRequest& request, int input, int output);

}  // namespace orvane::cli

// KeychainCommand: carries out one KeychainRequest over a keychain adaptor.
//
//   store, replace: the secret is read from `input` (see readSecret: a
//                   terminal is prompted); an empty one is refused unless
//                   the request allows it;
//   fetch:          the secret (after whatever the options call for) is
//                   written to `output`, byte for byte. A replacement file
//                   is opened first but read only when the fetch needs it;
//                   a fetch that writes the item with an empty label (a
//                   repair, migration or replacement without --name) says
//                   so in a warning line on `err`;
//   remove:         deletes the item; a missing item is no failure.
//
// The secret stays in Data from the read to the write. Every failure is one
// line on `err` (FailureReport); the result is the status to exit with.
//
// Runs on the caller's thread; as thread-safe as the adaptor it is given.
//
//   auto proxy = std::make_shared<orvane::SecKeychainProxy>(request.timeout);
//   return orvane::cli::runKeychainCommand(request, proxy, STDIN_FILENO, STDOUT_FILENO, std::cerr);
#pragma once

#include "Keychain/SecKeychainProxyType.hpp"
#include "orvane/KeychainRequest.hpp"

#include <iosfwd>
#include <memory>

namespace orvane::cli {

int runKeychainCommand(const KeychainRequest& request, std::shared_ptr<SecKeychainProxyType> proxy, int input,
                       int output, std::ostream& err);

}  // namespace orvane::cli

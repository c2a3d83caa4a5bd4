// SecKeychainError: the errors a keychain adaptor reports.
//
// Every adaptor failure is the platform error object with domain
// "Seckeychain", code -1 and one user-information entry, the message, under
// NSDebugDescriptionErrorKey. The message is "Error '", the failing status in
// signed decimal, "'" and the operation's own text; where a call succeeded
// but returned nothing the status is 0. One function per failure keeps the
// texts identical across adaptors. Messages name accounts, services and
// paths, never a secret.
//
// Stateless functions; any thread may call them.
//
//   throw orvane::secKeychainError::savingKeyData(orvane::errSecDuplicateItem, account, service);
//   // "Error '-25299' saving key data for account: alice, service: com.example.vault"
#pragma once

#include "Platform/Foundation/NSError.hpp"

#include <cstdint>
#include <string_view>

namespace orvane::secKeychainError {

inline constexpr std::string_view domain = "Seckeychain";
inline constexpr std::int64_t code = -1;

// make: the adaptor error "Error '<status>'" + text, where text starts with the closing quote.
NSError make(std::int32_t status, std::string_view text);

// fetchItem and fetchData: the query failed, or succeeded without a result.
NSError retrievingKeyData(std::int32_t status, std::string_view account, std::string_view service);
// deleteItem: the delete failed (the status is repeated and the service left out).
NSError removingKey(std::int32_t status, std::string_view account);
// addItem: the add was refused.
NSError savingKeyData(std::int32_t status, std::string_view account, std::string_view service);
// addItem and trustedApplicationsData(paths): no application identity could be made from `path`.
NSError creatingTrustedApplication(std::int32_t status, std::string_view path);
// trustedApplicationsData(item): the item's access object could not be read.
NSError retrievingAccess(std::int32_t status);
// trustedApplicationsData(item): the access object's entry list could not be read.
NSError retrievingACL(std::int32_t status);
// trustedApplicationsData(item): an entry's application list could not be read.
NSError retrievingTrustedApplicationFromACL(std::int32_t status);
// The identity data of an application record could not be read.
NSError retrievingTrustedApplicationData(std::int32_t status);

}  // namespace orvane::secKeychainError

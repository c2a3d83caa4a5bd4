#include "Keychain/SecKeychainError.hpp"

#include "Platform/Foundation/ErrorKeys.hpp"

#include <string>

namespace orvane::secKeychainError {

NSError make(std::int32_t status, std::string_view text) {
    std::string message = "Error '" + std::to_string(status);
    message += text;
    return NSError(std::string(domain), code,
                   ObjectDictionary{{std::string(NSDebugDescriptionErrorKey), Object(std::move(message))}});
}

NSError retrievingKeyData(std::int32_t status, std::string_view account, std::string_view service) {
    std::string text = "' retrieving key data for account: ";
    text += account;
    text += ", service: ";
    text += service;
    return make(status, text);
}

NSError removingKey(std::int32_t status, std::string_view account) {
    std::string text = "' removing key for acount: ";
    text += account;
    text += " to Keychain: " + std::to_string(status);
    return make(status, text);
}

NSError savingKeyData(std::int32_t status, std::string_view account, std::string_view service) {
    std::string text = "' saving key data for account: ";
    text += account;
    text += ", service: ";
    text += service;
    return make(status, text);
}

NSError creatingTrustedApplication(std::int32_t status, std::string_view path) {
    std::string text = "' creating SecTrustedApplication from for app with path '";
    text += path;
    text += "'";
    return make(status, text);
}

NSError retrievingAccess(std::int32_t status) {
    return make(status, "' retrieving SecAccess for item");
}

NSError retrievingACL(std::int32_t status) {
    return make(status, "' retrieving SecACL for item");
}

NSError retrievingTrustedApplicationFromACL(std::int32_t status) {
    return make(status, "' retrieving SecTrustedApplication from SecACL");
}

NSError retrievingTrustedApplicationData(std::int32_t status) {
    return make(status, "' retrieving SecTrustedApplicationData for SecTrustedApplication");
}

}  // namespace orvane::secKeychainError

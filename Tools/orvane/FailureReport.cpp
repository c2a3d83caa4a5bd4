#include "orvane/FailureReport.hpp"

#include "Keychain/KeychainFetchError.hpp"
#include "Keychain/SecKeychainError.hpp"
#include "Platform/Foundation/ErrorKeys.hpp"
#include "Platform/Foundation/NSError.hpp"

#include <algorithm>
#include <optional>

namespace orvane::cli {

namespace {

std::string oneLine(std::string text) {
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return text;
}

// The fetch errors carry no text of their own; these say what happened in the tool's terms.
std::optional<std::string> explanationOf(const Error& error) {
    const auto* fetchError = dynamic_cast<const KeychainFetchError*>(&error);
    if (fetchError == nullptr) {
        return std::nullopt;
    }
    switch (fetchError->errorCase()) {
        case KeychainFetchError::Case::dataNotFound:
            return "no such item, and nothing to migrate or store in its place";
        case KeychainFetchError::Case::invalidACL:
            return "the item trusts an application that --acl does not name";
        case KeychainFetchError::Case::incompleteACL:
            return "the item trusts only some of the applications that --acl names";
    }
    return std::nullopt;
}

std::string messageOf(const Error& error, const NSError& bridged) {
    const auto& userInfo = bridged.userInfoReference();
    if (const auto entry = userInfo.find(NSDebugDescriptionErrorKey); entry != userInfo.end()) {
        if (const auto text = entry->second.as<std::string>()) {
            return *text;
        }
    }
    return explanationOf(error).value_or(bridged.localizedDescription());
}

bool isMissingItem(const Error& error, const NSError& bridged, const std::string& message) {
    if (const auto* fetchError = dynamic_cast<const KeychainFetchError*>(&error)) {
        return fetchError->errorCase() == KeychainFetchError::Case::dataNotFound;
    }
    return bridged.domain() == secKeychainError::domain && message.starts_with("Error '-25300'");
}

}  // namespace

FailureReport FailureReport::from(const std::exception& error) {
    const auto* libraryError = dynamic_cast<const Error*>(&error);
    if (libraryError == nullptr) {
        return {ExitStatus::failure, oneLine("orvane: " + std::string(error.what()))};
    }
    const NSError bridged = libraryError->toNSError();
    const std::string message = messageOf(*libraryError, bridged);
    return {
        isMissingItem(*libraryError, bridged, message) ? ExitStatus::itemNotFound : ExitStatus::failure,
        oneLine("orvane: " + bridged.domain() + " error " + std::to_string(bridged.code()) + ": " + message)};
}

}  // namespace orvane::cli

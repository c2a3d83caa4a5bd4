#include "orvane/FailureReport.hpp"

#include "Keychain/KeychainFetchError.hpp"
#include "Keychain/SecKeychainError.hpp"
#include "Platform/Foundation/ErrorKeys.hpp"

#include <algorithm>
#include <charconv>
#include <optional>
#include <utility>

namespace orvane::cli {

namespace {

constexpr std::string_view toolDomain = "orvane.ToolError";

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

// withMeaning: "Error '<status>' rest" becomes "Error '<status>' (<meaning>) rest".
std::string withMeaning(std::string message) {
    constexpr std::string_view opening = "Error '";
    const auto closing = message.find('\'', opening.size());
    if (!message.starts_with(opening) || closing == std::string::npos) {
        return message;
    }
    long status = 0;
    const char* first = message.data() + opening.size();
    const char* last = message.data() + closing;
    const auto [end, failure] = std::from_chars(first, last, status);
    const char* meaning = meaningOfStatus(status);
    if (failure != std::errc() || end != last || meaning == nullptr) {
        return message;
    }
    message.insert(closing + 1, std::string(" (") + meaning + ")");
    return message;
}

std::string messageOf(const Error& error, const NSError& bridged) {
    const auto& userInfo = bridged.userInfoReference();
    if (const auto entry = userInfo.find(NSDebugDescriptionErrorKey); entry != userInfo.end()) {
        if (const auto text = entry->second.as<std::string>()) {
            return bridged.domain() == secKeychainError::domain ? withMeaning(*text) : *text;
        }
    }
    return explanationOf(error).value_or(bridged.localizedDescription());
}

ExitStatus statusOf(const Error& error, const NSError& bridged) {
    if (const auto* fetchError = dynamic_cast<const KeychainFetchError*>(&error)) {
        return fetchError->errorCase() == KeychainFetchError::Case::dataNotFound ? ExitStatus::itemNotFound
                                                                                 : ExitStatus::failure;
    }
    if (bridged.domain() == toolDomain && bridged.code() == static_cast<int>(ToolFailure::commandLine)) {
        return ExitStatus::usage;
    }
    const auto& userInfo = bridged.userInfoReference();
    const auto entry = userInfo.find(NSDebugDescriptionErrorKey);
    const bool missing = bridged.domain() == secKeychainError::domain && entry != userInfo.end() &&
                         entry->second.as<std::string>().value_or("").starts_with("Error '-25300'");
    return missing ? ExitStatus::itemNotFound : ExitStatus::failure;
}

}  // namespace

NSError toolError(ToolFailure failure, const std::string& message) {
    return NSError(std::string(toolDomain), static_cast<int>(failure),
                   {{std::string(NSLocalizedDescriptionKey), message}});
}

const char* meaningOfStatus(long status) {
    static constexpr std::pair<long, const char*> meanings[] = {
        {0, "the call succeeded but returned nothing"},
        {-25300, "no such item"},
        {-25299, "the item exists"},
        {-25291, "no Secret Service on the session bus"},
        {-25293, "the collection is locked, or access was refused"},
        {-25294, "no default collection"},
        {-50, "a text D-Bus cannot carry"},
        {-26275, "an answer that cannot be decoded"},
        {-4, "a request the service does not support"},
        {-2070, "the service failed"},
        {-25304, "not an item of this keychain"},
        {-36, "no file at an application path"},
    };
    for (const auto& [known, meaning] : meanings) {
        if (known == status) {
            return meaning;
        }
    }
    return nullptr;
}

FailureReport FailureReport::from(const std::exception& error, std::string_view program) {
    const auto* libraryError = dynamic_cast<const Error*>(&error);
    if (libraryError == nullptr) {
        return from(toolError(ToolFailure::unexpected, error.what()), program);
    }
    const NSError bridged = libraryError->toNSError();
    return {statusOf(*libraryError, bridged),
            oneLine(std::string(program) + ": " + bridged.domain() + " error " +
                    std::to_string(bridged.code()) + ": " + messageOf(*libraryError, bridged))};
}

FailureReport FailureReport::commandLine(std::string_view program, const std::string& message) {
    return from(toolError(ToolFailure::commandLine, message + " (see '" + std::string(program) + " --help')"),
                program);
}

}  // namespace orvane::cli

#include "Platform/Foundation/Error.hpp"

#include "Platform/Foundation/ErrorKeys.hpp"
#include "Platform/Foundation/NSError.hpp"

namespace orvane {

namespace {

std::optional<std::string> stringEntry(const ObjectDictionary& userInfo, std::string_view key) {
    const auto found = userInfo.find(key);
    if (found == userInfo.end()) {
        return std::nullopt;
    }
    return found->second.as<std::string>();
}

}  // namespace

std::string moduleQualifiedName(std::string_view typeName) {
    std::string name(moduleName);
    name += '.';
    name += typeName;
    return name;
}

std::string genericErrorDescription(std::string_view domain, std::int64_t code) {
    return "The operation couldn\u2019t be completed. (" + std::string(domain) + " error " +
           std::to_string(code) + ".)";
}

std::string Error::localizedDescription() const {
    if (auto description = stringEntry(userInfo(), NSLocalizedDescriptionKey)) {
        return *description;
    }
    return genericErrorDescription(domain(), code());
}

std::optional<std::string> Error::failureReason() const {
    return stringEntry(userInfo(), NSLocalizedFailureReasonErrorKey);
}

std::optional<std::string> Error::recoverySuggestion() const {
    return stringEntry(userInfo(), NSLocalizedRecoverySuggestionErrorKey);
}

NSError Error::toNSError() const {
    return NSError(domain(), code(), userInfo());
}

const char* Error::what() const noexcept {
    return summary_.empty() ? "TarvelOrvane error" : summary_.c_str();
}

}  // namespace orvane

#include "Core/AnyError.hpp"

#include "Platform/Foundation/NSError.hpp"

#include <stdexcept>

namespace orvane {

AnyError::AnyError(std::shared_ptr<const Error> error) : error_(std::move(error)) {
    if (!error_) {
        throw std::invalid_argument("AnyError needs an error to hold");
    }
}

namespace {

Object textOrNull(std::optional<std::string> text) {
    return text ? Object(std::move(*text)) : Object();
}

ObjectDictionary bridgedUserInfo(const AnyError& error) {
    // Read in this order: description, failure reason, recovery suggestion.
    ObjectDictionary userInfo;
    userInfo.emplace(NSLocalizedDescriptionKey, Object(error.localizedDescription()));
    userInfo.emplace(NSLocalizedFailureReasonErrorKey, textOrNull(error.failureReason()));
    userInfo.emplace(NSLocalizedRecoverySuggestionErrorKey, textOrNull(error.recoverySuggestion()));
    return userInfo;
}

}  // namespace

NSError::NSError(const AnyError& error) : NSError("", -1, bridgedUserInfo(error)) {}

}  // namespace orvane

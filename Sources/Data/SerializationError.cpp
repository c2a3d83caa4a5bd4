#include "Data/SerializationError.hpp"

#include "Platform/Foundation/ErrorKeys.hpp"

namespace orvane {

SerializationError::SerializationError(Case errorCase, std::string message)
    : EnumeratedError(errorCase), message_(std::move(message)) {
    setSummary(debugDescription());
}

std::string SerializationError::debugDescription() const {
    const std::string_view prefix =
        errorCase() == Case::encodingError ? "Encoding error. " : "Decoding error. ";
    return std::string(prefix) + message_;
}

ObjectDictionary SerializationError::userInfo() const {
    return {{std::string(NSDebugDescriptionErrorKey), Object(debugDescription())}};
}

}  // namespace orvane

#include "Platform/Authentication/LAError.hpp"

#include <utility>

namespace orvane {

namespace {

ObjectDictionary describing(std::string description) {
    if (description.empty()) {
        return {};
    }
    return ObjectDictionary{{std::string(NSLocalizedDescriptionKey), Object(std::move(description))}};
}

}  // namespace

LAError::LAError(LAErrorCode code, std::string description)
    : NSError(std::string(LAErrorDomain), static_cast<std::int64_t>(code), describing(std::move(description))) {}

}  // namespace orvane

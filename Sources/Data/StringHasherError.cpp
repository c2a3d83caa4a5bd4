#include "Data/StringHasherError.hpp"

#include "Platform/Foundation/ErrorKeys.hpp"

#include <string>

namespace orvane {

StringHasherError::StringHasherError(Case errorCase) : EnumeratedError(errorCase) {
    setSummary(std::string(debugDescription()));
}

std::string_view StringHasherError::debugDescription() const {
    switch (errorCase()) {
        case Case::unexpectedStringEncoding:
            return "Could not parse string using UTF8";
        case Case::hashError:
            return "Could not compute hash";
    }
    return {};
}

ObjectDictionary StringHasherError::userInfo() const {
    return {{std::string(NSDebugDescriptionErrorKey), Object(debugDescription())}};
}

}  // namespace orvane

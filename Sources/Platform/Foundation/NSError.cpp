#include "Platform/Foundation/NSError.hpp"

#include <functional>

namespace orvane {

NSError::NSError(std::string domain, std::int64_t code, ObjectDictionary userInfo)
    : domain_(std::move(domain)), code_(code), userInfo_(std::move(userInfo)) {
    std::string summary = localizedDescription();
    const auto debug = userInfo_.find(NSDebugDescriptionErrorKey);
    if (debug != userInfo_.end() && debug->second.stringIf() != nullptr) {
        summary += " " + *debug->second.stringIf();
    }
    setSummary(std::move(summary));
}

bool NSError::isEqual(const NSObject& other) const {
    const auto* error = dynamic_cast<const NSError*>(&other);
    return error != nullptr && *this == *error;
}

std::size_t NSError::hashValue() const {
    return std::hash<std::string>{}(domain_) ^ std::hash<std::int64_t>{}(code_);
}

std::string NSError::description() const {
    return "Error Domain=" + domain_ + " Code=" + std::to_string(code_) + " \"" + localizedDescription() +
           "\" UserInfo=" + Object(userInfo_).description();
}

bool operator==(const NSError& lhs, const NSError& rhs) {
    return lhs.domain_ == rhs.domain_ && lhs.code_ == rhs.code_ && lhs.userInfo_ == rhs.userInfo_;
}

}  // namespace orvane

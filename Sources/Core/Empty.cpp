#include "Core/Empty.hpp"

#include "Platform/Foundation/Object.hpp"

namespace orvane {

void Empty::encode(NSCoder& coder) const {
    // The sentinel is always true, so this is always the number 1.
    coder.encodeObject(Object(sentinel_ ? 1 : 0), keyName(Keys::sentinel));
}

std::shared_ptr<Empty> Empty::initWithCoder(NSCoder& coder) {
    const std::optional<Object> sentinel = coder.decodeObject(keyName(Keys::sentinel));
    if (!sentinel || !sentinel->isNumber() || sentinel->numberValue() != 1.0) {
        return nullptr;
    }
    return std::make_shared<Empty>();
}

}  // namespace orvane

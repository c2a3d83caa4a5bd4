#include "Platform/Archive/NSCoding.hpp"

#include "Platform/Foundation/NSException.hpp"

#include <cmath>
#include <limits>
#include <utility>

namespace orvane {

namespace {

[[noreturn]] void throwOutOfRange(std::string_view key, std::string_view type) {
    throw NSException("NSRangeException",
                      "value for key '" + std::string(key) + "' does not fit in " + std::string(type));
}

}  // namespace

std::optional<Data> NSCoder::decodeBytes(std::string_view key) {
    std::optional<Object> object = decodeObject(key);
    if (!object || object->dataIf() == nullptr) {
        return std::nullopt;
    }
    return *object->dataIf();
}

std::optional<ObjectArray> NSCoder::decodeArrayOfObjects(std::string_view key) {
    std::optional<Object> object = decodeObject(key);
    if (!object || object->arrayIf() == nullptr) {
        return std::nullopt;
    }
    return *object->arrayIf();
}

std::int32_t NSCoder::decodeInt32(std::string_view key) {
    const std::int64_t value = decodeInteger(key);
    if (!std::in_range<std::int32_t>(value)) {
        throwOutOfRange(key, "a 32-bit integer");
    }
    return static_cast<std::int32_t>(value);
}

float NSCoder::decodeFloat(std::string_view key) {
    const double value = decodeDouble(key);
    if (std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max()) {
        throwOutOfRange(key, "a float");
    }
    return static_cast<float>(value);
}

}  // namespace orvane

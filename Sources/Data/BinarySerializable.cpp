#include "Data/BinarySerializable.hpp"

#include "Platform/Archive/NSKeyedArchiver.hpp"

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace orvane::detail::serialization {

namespace {

// Whether every floating-point number in `json` is finite and no
// array or object is nested deeper than jsonMaximumDepth. Walks with its own
// stack: the value may come from anywhere.
bool isEncodable(const nlohmann::json& json) {
    std::vector<std::pair<const nlohmann::json*, std::size_t>> pending{{&json, 1}};
    while (!pending.empty()) {
        const auto [value, depth] = pending.back();
        pending.pop_back();
        if (value->is_number_float() && !std::isfinite(value->get<double>())) {
            return false;
        }
        if (value->is_structured()) {
            if (depth > jsonMaximumDepth) {
                return false;
            }
            for (const nlohmann::json& element : *value) {
                pending.emplace_back(&element, depth + 1);
            }
        }
    }
    return true;
}

// Makes parsed numbers safe to convert: false when one is not finite; an
// integral one within 64 bits becomes an integer, so that it reaches an
// integer member by integer conversion rather than a cast of a double. The
// parser has already bounded the nesting.
bool normalizeNumbers(nlohmann::json& json) {
    std::vector<nlohmann::json*> pending{&json};
    while (!pending.empty()) {
        nlohmann::json* value = pending.back();
        pending.pop_back();
        if (value->is_number_float()) {
            const double number = value->get<double>();
            if (!std::isfinite(number)) {
                return false;
            }
            // Exclusive upper bounds: 2^63 and 2^64 are exact as doubles and out of range.
            constexpr double signedBeyond = 9223372036854775808.0;
            if (number == std::trunc(number) && number >= -signedBeyond && number < signedBeyond) {
                *value = static_cast<std::int64_t>(number);
            } else if (number == std::trunc(number) && number >= 0 && number < 2 * signedBeyond) {
                *value = static_cast<std::uint64_t>(number);
            }
        } else if (value->is_structured()) {
            for (nlohmann::json& element : *value) {
                pending.push_back(&element);
            }
        }
    }
    return true;
}

}  // namespace

Data archive(const Object& root) {
    std::optional<Data> archived = NSKeyedArchiver::archivedData(root);
    return archived ? std::move(*archived) : Data();
}

std::optional<Object> unarchive(const Data& data) {
    return NSKeyedUnarchiver::unarchiveObject(data);
}

std::shared_ptr<NSObject> referenceTo(const NSObject& object) {
    if (auto owned = object.weak_from_this().lock()) {
        return std::const_pointer_cast<NSObject>(owned);
    }
    // Aliasing an empty owner: points at the object, owns nothing.
    return std::shared_ptr<NSObject>(std::shared_ptr<NSObject>(), const_cast<NSObject*>(&object));
}

Data encodeJSON(const nlohmann::json& json) {
    if (!isEncodable(json)) {
        return Data();
    }
    try {
        return Data(json.dump());
    } catch (const nlohmann::json::exception&) {
        return Data();  // a string that is not UTF-8
    }
}

std::optional<nlohmann::json> decodeJSON(const Data& data) {
    bool tooDeep = false;
    const auto limitDepth = [&tooDeep](int depth, nlohmann::json::parse_event_t event, nlohmann::json&) {
        const bool opens = event == nlohmann::json::parse_event_t::object_start ||
                           event == nlohmann::json::parse_event_t::array_start;
        if (opens && depth >= static_cast<int>(jsonMaximumDepth)) {
            tooDeep = true;
        }
        return !tooDeep;  // once too deep, keep nothing more
    };
    const std::span<const std::uint8_t> bytes = data.bytes();
    // nlohmann stops at a NUL byte as at the end of input; JSON holds none.
    if (!bytes.empty() && std::memchr(bytes.data(), 0, bytes.size()) != nullptr) {
        return std::nullopt;
    }
    try {
        nlohmann::json json = nlohmann::json::parse(bytes.begin(), bytes.end(), limitDepth, false);
        if (tooDeep || json.is_discarded() || !normalizeNumbers(json)) {
            return std::nullopt;
        }
        return json;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

std::optional<std::int64_t> integerValue(const Object& number) {
    if (const bool* boolean = number.booleanIf()) {
        return *boolean ? 1 : 0;
    }
    if (const std::int64_t* integer = number.integerIf()) {
        return *integer;
    }
    if (const double* real = number.realIf()) {
        // Exclusive upper bound: 2^63 is exact as a double and already too large.
        constexpr double lowest = static_cast<double>(std::numeric_limits<std::int64_t>::lowest());
        constexpr double beyond = -lowest;
        if (*real >= lowest && *real < beyond) {
            return static_cast<std::int64_t>(*real);
        }
    }
    return std::nullopt;
}

}  // namespace orvane::detail::serialization

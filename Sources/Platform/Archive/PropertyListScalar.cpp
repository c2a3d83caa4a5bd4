#include "Platform/Archive/PropertyListScalar.hpp"

#include <plist/plist.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

namespace orvane {

namespace {

constexpr std::uint8_t dateMarker = 0x33;
constexpr std::uint8_t sixteenByteIntegerMarker = 0x14;

// libplist keeps an integer as 64 bits plus a width: 16 bytes for an unsigned
// value above INT64_MAX, 8 for a negative one. The width is not public; its
// binary writer shows it in the integer's marker.
bool isUnsignedInteger(void* node) {
    const auto list = BinaryPropertyList::serialize(node);
    return list && list->size() > 8 && (*list)[8] == sixteenByteIntegerMarker;
}

// parseSingleObject: the tree of a binary property list whose only object is
// `object` (its marker and payload, at most 17 bytes), built by hand: libplist
// 2.2 has no public call that makes a full-precision date or an integer above
// INT64_MAX.
PropertyListNode parseSingleObject(std::span<const std::uint8_t> object) {
    std::array<std::uint8_t, 8 + 17 + 1 + 32> list{'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    std::copy(object.begin(), object.end(), list.begin() + 8);
    const std::size_t table = 8 + object.size();
    list[table] = 8;           // the offset table: object 0 at offset 8
    list[table + 1 + 6] = 1;   // offset size
    list[table + 1 + 7] = 1;   // reference size
    list[table + 1 + 15] = 1;  // one object, the top one
    list[table + 1 + 31] = static_cast<std::uint8_t>(table);
    return BinaryPropertyList::parse(std::span(list).first(table + 1 + 32));
}

}  // namespace

PropertyListNode makePropertyListDate(double secondsSinceReferenceDate) {
    std::array<std::uint8_t, 9> object{dateMarker};
    const auto bits = std::bit_cast<std::uint64_t>(secondsSinceReferenceDate);
    for (std::size_t index = 0; index < 8; ++index) {
        object[1 + index] = static_cast<std::uint8_t>(bits >> (8 * (7 - index)));
    }
    return parseSingleObject(object);
}

PropertyListNode makePropertyListUnsigned(std::uint64_t value) {
    std::array<std::uint8_t, 17> object{sixteenByteIntegerMarker};
    for (std::size_t index = 0; index < 8; ++index) {
        object[9 + index] = static_cast<std::uint8_t>(value >> (8 * (7 - index)));  // the low half
    }
    return parseSingleObject(object);
}

Date propertyListDate(void* node) {
    if (auto list = BinaryPropertyList::serialize(node);
        list && list->size() >= 17 && (*list)[8] == dateMarker) {
        std::uint64_t bits = 0;
        for (std::size_t index = 0; index < 8; ++index) {
            bits = (bits << 8) | (*list)[9 + index];
        }
        return Date::fromTimeIntervalSinceReferenceDate(std::bit_cast<double>(bits));
    }
    std::int32_t seconds = 0;
    std::int32_t microseconds = 0;
    plist_get_date_val(node, &seconds, &microseconds);
    return Date::fromTimeIntervalSinceReferenceDate(seconds + microseconds / 1e6);
}

std::optional<Object> propertyListScalar(void* node) {
    switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN: {
            std::uint8_t value = 0;
            plist_get_bool_val(node, &value);
            return Object(value != 0);
        }
        case PLIST_UINT: {
            std::uint64_t value = 0;
            plist_get_uint_val(node, &value);
            if (std::in_range<std::int64_t>(value) || isUnsignedInteger(node)) {
                return Object(value);
            }
            return Object(static_cast<std::int64_t>(value));  // a negative integer's bits
        }
        case PLIST_REAL: {
            double value = 0;
            plist_get_real_val(node, &value);
            return Object(value);
        }
        case PLIST_STRING: {
            std::uint64_t length = 0;
            const char* text = plist_get_string_ptr(node, &length);
            return Object(text == nullptr ? std::string() : std::string(text, length));
        }
        case PLIST_DATE:
            return Object(propertyListDate(node));
        case PLIST_DATA: {
            std::uint64_t length = 0;
            const char* bytes = plist_get_data_ptr(node, &length);
            return Object(bytes == nullptr ? Data() : Data(bytes, length));
        }
        default:
            return std::nullopt;
    }
}

}  // namespace orvane

// JSON: a small JSON document whose top level is an object, read from a file
// once and then handed out value by value.
//
// `contents` is the top-level object as an ObjectDictionary: strings,
// numbers (Booleans are their own kind), the null object, arrays and nested
// dictionaries (see JSONObjectParser). value<T>(forKey) looks up one exact,
// case-sensitive top-level key (a key with dots is one key, not a path) and
// converts the entry with Object::as<T>(): a string only to a string, a
// Boolean only to bool and never to a number, an integer type only from an
// integral number in its range, a double from any number, arrays and
// dictionaries element by element, std::optional<U> from null as nothing.
//
// Integers above INT64_MAX read as unsigned (value<std::uint64_t>). Asking for
// a std::string_view or const char* does not compile: use std::string.
//
// Failures throw JSONError:
//   - JSON(url): fileParseError(url) when the file cannot be read (missing,
//     unreadable, a folder, not a file URL); fileFormatError(url) when its
//     bytes are not JSON or the top level is not an object (an array, a
//     string, a number or null);
//   - value<T>(forKey): valueNotFound(forKey), or invalidValueCast(forKey,
//     valueTypeName<T>()) when the entry does not convert (null included).
//
// Thread safety: an immutable value; const access from many threads is safe.
//
//   const orvane::JSON config(orvane::URL::fileURLWithPath("/etc/app/config.json"));
//   auto name = config.value<std::string>("name");
//   auto port = config.value<std::int64_t>("port");        // "Int" in errors
//   auto proxy = config.value<orvane::ObjectDictionary>("proxy");
#pragma once

#include "Data/JSONError.hpp"
#include "Data/ValueTypeName.hpp"
#include "Platform/Foundation/Object.hpp"
#include "Platform/Foundation/URL.hpp"

#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace orvane {

class JSON {
public:
    // Wraps a dictionary the caller already has; nothing is checked.
    explicit JSON(ObjectDictionary contents) : contents_(std::move(contents)) {}
    // Reads and parses the document at a file URL; throws JSONError.
    explicit JSON(const URL& url);
    // Parses a document already read from `url` (the stage after reading);
    // throws JSONError::fileFormatError(url).
    JSON(std::span<const std::uint8_t> bytes, const URL& url);

    const ObjectDictionary& contents() const noexcept { return contents_; }

    // value: the entry under `forKey` as a T; throws JSONError.
    template <class T>
    T value(std::string_view forKey) const;

    friend bool operator==(const JSON& lhs, const JSON& rhs) { return lhs.contents_ == rhs.contents_; }

private:
    const Object& entry(std::string_view forKey) const;

    ObjectDictionary contents_;
};

template <class T>
T JSON::value(std::string_view forKey) const {
    static_assert(!std::same_as<T, std::string_view> && !std::same_as<T, const char*>,
                  "JSON::value: a view cannot outlive the document's entry; ask for std::string");
    std::optional<T> converted = entry(forKey).as<T>();
    if (!converted) {
        throw JSONError::invalidValueCast(std::string(forKey), valueTypeName<T>());
    }
    return std::move(*converted);
}

}  // namespace orvane

// JSONObjectParser: parses JSON text straight into an Object, the form in
// which the platform's JSON parser hands out a document.
//
// Objects become ObjectDictionary, arrays ObjectArray, strings std::string,
// true and false Booleans, null the null object; integers from INT64_MIN to
// UINT64_MAX stay integers (unsigned above INT64_MAX), larger ones and
// numbers with a fraction or exponent become doubles. Any top-level value is accepted (a fragment too); the
// caller decides what it wants. Of two equal keys in one object the last
// wins.
//
// The text comes from outside, so everything wrong with it is an absent
// result, never a crash: malformed or truncated JSON, invalid UTF-8, trailing
// bytes, a number too large for a double, and nesting deeper than
// jsonMaximumDepth arrays and objects (which keeps the recursive destruction
// and conversion of the result far from the end of the stack).
//
// Thread safety: keeps no state; any thread may call parse.
//
//   std::optional<orvane::Object> root = orvane::JSONObjectParser::parse(bytes);
//   std::optional<orvane::ObjectDictionary> top = orvane::JSONObjectParser::parseDictionary(bytes);
#pragma once

#include "Platform/Foundation/Object.hpp"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace orvane {

// Arrays and objects nested deeper than this are refused by every JSON
// reader and writer of this library.
inline constexpr std::size_t jsonMaximumDepth = 512;

class JSONObjectParser {
public:
    // parse: the document's top-level value, or nothing.
    static std::optional<Object> parse(std::span<const std::uint8_t> bytes);
    // parseDictionary: the document's top-level object, or nothing when the
    // text is not JSON or its top-level value is not an object. Spares the
    // copy of the top level that taking it out of an Object would cost.
    static std::optional<ObjectDictionary> parseDictionary(std::span<const std::uint8_t> bytes);
};

}  // namespace orvane

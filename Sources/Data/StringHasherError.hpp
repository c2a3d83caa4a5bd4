// StringHasherError: why StringHasher::computeHash failed.
//
//   - unexpectedStringEncoding (0): the string is not valid UTF-8,
//     "Could not parse string using UTF8";
//   - hashError (1): the crypto component computed no hash,
//     "Could not compute hash".
//
// The text is the debug description and the only user-information entry
// (under NSDebugDescriptionErrorKey); the domain is
// "TarvelOrvane.StringHasherError". Equatable and hashable by case.
//
// Immutable value; safe to share between threads.
//
//   try { hasher.computeHash(text); }
//   catch (const orvane::StringHasherError& error) {
//       if (error.errorCase() == orvane::StringHasherError::Case::hashError) { ... }
//   }
#pragma once

#include "Platform/Foundation/Error.hpp"

#include <cstddef>
#include <functional>
#include <string_view>

namespace orvane {

enum class StringHasherErrorCase { unexpectedStringEncoding, hashError };

class StringHasherError : public EnumeratedError<StringHasherError, StringHasherErrorCase> {
public:
    static constexpr std::string_view typeName = "StringHasherError";

    explicit StringHasherError(Case errorCase);

    std::string_view debugDescription() const;
    ObjectDictionary userInfo() const override;

    friend bool operator==(const StringHasherError& lhs, const StringHasherError& rhs) {
        return lhs.errorCase() == rhs.errorCase();
    }
};

}  // namespace orvane

template <>
struct std::hash<orvane::StringHasherError> {
    std::size_t operator()(const orvane::StringHasherError& error) const noexcept {
        return std::hash<int>{}(static_cast<int>(error.errorCase()));
    }
};

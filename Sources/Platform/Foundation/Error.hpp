// Error: the base of every error this library throws or hands to a callback.
//
// An Error carries what bridging to the platform error object (NSError) needs:
// a domain, an integer code and a user-information dictionary, from which the
// localized description, failure reason and recovery suggestion are read.
// `toNSError()` performs the bridge.
//
// Error enumerations derive from EnumeratedError, which bridges by rule: the
// domain is the module-qualified type name ("TarvelOrvane.KeychainFetchError")
// unless the type names its own, and the code is the case's position in
// declaration order unless the type overrides code().
//
//   enum class ParseFailure { empty, truncated };
//   class ParseError : public orvane::EnumeratedError<ParseError, ParseFailure> {
//   public:
//       static constexpr std::string_view typeName = "ParseError";
//       using EnumeratedError::EnumeratedError;
//   };
//   throw ParseError(ParseFailure::truncated);   // "TarvelOrvane.ParseError", code 1
//
// Errors are immutable values; sharing them between threads is safe.
#pragma once

#include "Platform/Foundation/Object.hpp"

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace orvane {

class NSError;

// The module name that qualifies the library's type names.
inline constexpr std::string_view moduleName = "TarvelOrvane";

// "TarvelOrvane." followed by the type name.
std::string moduleQualifiedName(std::string_view typeName);

class Error : public std::exception {
public:
    Error() = default;
    Error(const Error&) = default;
    Error(Error&&) noexcept = default;
    Error& operator=(const Error&) = default;
    Error& operator=(Error&&) noexcept = default;
    ~Error() override = default;

    virtual std::string domain() const = 0;
    virtual std::int64_t code() const = 0;
    virtual ObjectDictionary userInfo() const { return {}; }

    // The description under NSLocalizedDescriptionKey, or the platform's generic
    // text naming the domain and code.
    virtual std::string localizedDescription() const;
    // The texts under the failure-reason and recovery-suggestion keys, if any.
    virtual std::optional<std::string> failureReason() const;
    virtual std::optional<std::string> recoverySuggestion() const;

    // The platform error object with this error's domain, code and user information.
    NSError toNSError() const;

    // A one-line summary fixed when the error is made (see setSummary).
    const char* what() const noexcept override;

protected:
    // Derived constructors set the text that what() returns.
    void setSummary(std::string summary) { summary_ = std::move(summary); }

private:
    std::string summary_;
};

// The platform's text for an error without a localized description.
std::string genericErrorDescription(std::string_view domain, std::int64_t code);

// Base of the library's error enumerations. `Derived` declares
// `static constexpr std::string_view typeName`, and may declare
// `static constexpr std::string_view errorDomain` to name its own domain.
template <class Derived, class CaseType>
class EnumeratedError : public Error {
public:
    using Case = CaseType;

    explicit EnumeratedError(Case errorCase) : case_(errorCase) {
        setSummary(genericErrorDescription(domain(), code()));
    }

    Case errorCase() const { return case_; }

    std::string domain() const override {
        if constexpr (requires { Derived::errorDomain; }) {
            return std::string(Derived::errorDomain);
        } else {
            return moduleQualifiedName(Derived::typeName);
        }
    }
    std::int64_t code() const override { return static_cast<std::int64_t>(case_); }

private:
    Case case_;
};

}  // namespace orvane

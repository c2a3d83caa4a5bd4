// NSException: the platform exception that ExceptionUtils catches.
//
// A name, a reason and user information. Subclass it for specific kinds of
// exception; ExceptionUtils catches NSException and every subclass, nothing
// else. Immutable once made.
//
//   throw orvane::NSException("NSInvalidArgumentException", "index out of range");
#pragma once

#include "Platform/Foundation/Object.hpp"

#include <exception>
#include <optional>
#include <string>

namespace orvane {

class NSException : public std::exception {
public:
    NSException(std::string name, std::optional<std::string> reason = std::nullopt,
                ObjectDictionary userInfo = {});
    ~NSException() override = default;

    const std::string& name() const noexcept { return name_; }
    const std::optional<std::string>& reason() const noexcept { return reason_; }
    const ObjectDictionary& userInfo() const noexcept { return userInfo_; }

    // "name: reason", or the name alone.
    const char* what() const noexcept override { return summary_.c_str(); }

private:
    std::string name_;
    std::optional<std::string> reason_;
    ObjectDictionary userInfo_;
    std::string summary_;
};

}  // namespace orvane

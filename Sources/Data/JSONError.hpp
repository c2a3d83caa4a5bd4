// JSONError: why JSON could not be read, or a value not handed out.
//
//   - fileParseError(url) (0): the file could not be read into memory;
//   - fileFormatError(url) (1): its bytes are not JSON, or the top-level
//     value is not an object;
//   - valueNotFound(forKey) (2): no top-level entry has the key;
//   - invalidValueCast(forKey, type) (3): the entry does not convert to the
//     requested type, named by `type` ("String", "Int", "Dictionary<String,
//     Any>").
//
// A plain error value: bridged to NSError it has the domain
// "TarvelOrvane.JSONError", the case's position as code and no user
// information, and it keeps no underlying cause. what() shows the case and
// its payload, e.g. valueNotFound(forKey: "name").
//
// Immutable value; safe to share between threads.
//
//   try { auto port = config.value<std::int64_t>("port"); }
//   catch (const orvane::JSONError& error) {
//       if (error.errorCase() == orvane::JSONError::Case::valueNotFound) { ... }
//   }
#pragma once

#include "Platform/Foundation/Error.hpp"
#include "Platform/Foundation/URL.hpp"

#include <optional>
#include <string>
#include <string_view>

namespace orvane {

enum class JSONErrorCase { fileParseError, fileFormatError, valueNotFound, invalidValueCast };

class JSONError : public EnumeratedError<JSONError, JSONErrorCase> {
public:
    static constexpr std::string_view typeName = "JSONError";

    static JSONError fileParseError(URL url);
    static JSONError fileFormatError(URL url);
    static JSONError valueNotFound(std::string forKey);
    static JSONError invalidValueCast(std::string forKey, std::string type);

    // The payload: the URL of the two file cases, the key (and for
    // invalidValueCast the type name) of the two value cases.
    const std::optional<URL>& url() const noexcept { return url_; }
    const std::string& forKey() const noexcept { return key_; }
    const std::string& type() const noexcept { return type_; }

    friend bool operator==(const JSONError& lhs, const JSONError& rhs) {
        return lhs.errorCase() == rhs.errorCase() && lhs.url_ == rhs.url_ && lhs.key_ == rhs.key_ &&
               lhs.type_ == rhs.type_;
    }

private:
    JSONError(Case errorCase, std::optional<URL> url, std::string key, std::string type);

    std::optional<URL> url_;
    std::string key_;
    std::string type_;
};

}  // namespace orvane

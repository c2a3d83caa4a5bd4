#include "Data/JSONError.hpp"

#include <utility>

namespace orvane {

namespace {

std::string quoted(std::string_view text) {
    std::string result = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            result += '\\';
        }
        result += c;
    }
    return result + '"';
}

}  // namespace

JSONError::JSONError(Case errorCase, std::optional<URL> url, std::string key, std::string type)
    : EnumeratedError(errorCase), url_(std::move(url)), key_(std::move(key)), type_(std::move(type)) {
    switch (errorCase) {
        case Case::fileParseError:
            setSummary("fileParseError(url: " + url_->absoluteString() + ")");
            break;
        case Case::fileFormatError:
            setSummary("fileFormatError(url: " + url_->absoluteString() + ")");
            break;
        case Case::valueNotFound:
            setSummary("valueNotFound(forKey: " + quoted(key_) + ")");
            break;
        case Case::invalidValueCast:
            setSummary("invalidValueCast(forKey: " + quoted(key_) + ", type: " + quoted(type_) + ")");
            break;
    }
}

JSONError JSONError::fileParseError(URL url) {
    return JSONError(Case::fileParseError, std::move(url), {}, {});
}

JSONError JSONError::fileFormatError(URL url) {
    return JSONError(Case::fileFormatError, std::move(url), {}, {});
}

JSONError JSONError::valueNotFound(std::string forKey) {
    return JSONError(Case::valueNotFound, std::nullopt, std::move(forKey), {});
}

JSONError JSONError::invalidValueCast(std::string forKey, std::string type) {
    return JSONError(Case::invalidValueCast, std::nullopt, std::move(forKey), std::move(type));
}

}  // namespace orvane

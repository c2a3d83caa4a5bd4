#include "Application/ArgumentsFetcher.hpp"

#include <glib.h>

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

namespace orvane {

namespace {

// The Unicode lower-case mapping of each character, the same in every locale.
// Text that is not UTF-8 has only its ASCII letters mapped.
std::string lowercased(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
        for (const char c : text) {
            result.push_back((c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c);
        }
        return result;
    }
    const char* const end = text.data() + text.size();
    for (const char* at = text.data(); at < end; at = g_utf8_next_char(at)) {
        char encoded[6];
        const gint length = g_unichar_to_utf8(g_unichar_tolower(g_utf8_get_char(at)), encoded);
        result.append(encoded, static_cast<std::size_t>(length));
    }
    return result;
}

bool equalIgnoringCase(std::string_view lhs, std::string_view rhs) {
    return lowercased(lhs) == lowercased(rhs);
}

}  // namespace

ArgumentsFetcher::ArgumentsFetcher(std::shared_ptr<ArgumentsProviderType> provider)
    : provider_(std::move(provider)) {
    if (provider_ == nullptr) {
        throw std::invalid_argument("ArgumentsFetcher needs a provider");
    }
}

bool ArgumentsFetcher::contains(std::string_view flag) const {
    const std::vector<std::string> arguments = provider_->arguments();
    if (arguments.size() < 2) {
        return false;
    }
    return std::ranges::find(arguments, flag) != arguments.end();
}

std::optional<std::string> ArgumentsFetcher::retrieveValue(std::string_view forArgument) const {
    std::vector<std::string> arguments = provider_->arguments();
    if (arguments.size() < 2) {
        return std::nullopt;
    }
    for (std::size_t at = 0; at + 1 < arguments.size(); ++at) {
        if (equalIgnoringCase(arguments[at], forArgument)) {
            std::string& value = arguments[at + 1];
            if (value.starts_with("--")) {
                return std::nullopt;
            }
            return std::move(value);
        }
    }
    return std::nullopt;
}

bool ArgumentsFetcher::contains(std::string_view argument, std::string_view withValue) const {
    const std::optional<std::string> value = retrieveValue(argument);
    return value.has_value() && equalIgnoringCase(*value, withValue);
}

}  // namespace orvane

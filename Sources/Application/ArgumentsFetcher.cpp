#include "Application/ArgumentsFetcher.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

namespace orvane {

namespace {

char lowercased(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalIgnoringCase(std::string_view lhs, std::string_view rhs) {
    return std::ranges::equal(lhs, rhs, [](char a, char b) { return lowercased(a) == lowercased(b); });
}

}  // namespace

ArgumentsFetcher::ArgumentsFetcher(std::shared_ptr<ArgumentsProviderType> provider)
    : provider_(std::move(provider)) {
    if (provider_ == nullptr) {
        throw std::invalid_argument("ArgumentsFetcher needs a provider");
    }
}

bool ArgumentsFetcher::containsFlag(std::string_view flag) const {
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

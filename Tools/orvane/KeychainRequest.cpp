#include "orvane/KeychainRequest.hpp"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace orvane::cli {

namespace {

// absolute: a relative path taken from the working directory, as the shell
// shows it ($PWD when that names the same directory, so a path through a
// link stays one), since the library takes absolute paths only. Without a
// working directory the path stays as given, and the library refuses it.
std::string absolute(const std::string& path) {
    if (path.empty() || path.front() == '/') {
        return path;
    }
    std::error_code error;
    std::filesystem::path directory = std::filesystem::current_path(error);
    if (error) {
        return path;
    }
    const char* shown = std::getenv("PWD");
    if (shown != nullptr && shown[0] == '/' && std::filesystem::equivalent(shown, directory, error)) {
        directory = shown;
    }
    return (directory / path).string();
}

KeychainKey makeKey(const ItemAddress& address, const KeychainRequest& request) {
    std::vector<KeychainTrustedApp> acl;
    acl.reserve(request.aclPaths.size());
    for (const std::string& path : request.aclPaths) {
        acl.emplace_back(absolute(path));
    }
    return KeychainKey(address.account, address.service, request.name, request.descriptor, std::move(acl));
}

}  // namespace

std::optional<ItemAddress> ItemAddress::parse(std::string_view text) {
    const auto separator = text.find(':');
    if (separator == std::string_view::npos || separator == 0 || separator + 1 == text.size()) {
        return std::nullopt;
    }
    return ItemAddress{std::string(text.substr(0, separator)), std::string(text.substr(separator + 1))};
}

KeychainKey KeychainRequest::key() const {
    return makeKey(ItemAddress{account, service}, *this);
}

KeychainKey KeychainRequest::olderKey(const ItemAddress& address) const {
    return makeKey(address, *this);
}

}  // namespace orvane::cli

#include "orvane/KeychainRequest.hpp"

namespace orvane::cli {

namespace {

KeychainKey makeKey(const ItemAddress& address, const KeychainRequest& request) {
    std::vector<KeychainTrustedApp> acl;
    acl.reserve(request.aclPaths.size());
    for (const std::string& path : request.aclPaths) {
        acl.emplace_back(path);
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

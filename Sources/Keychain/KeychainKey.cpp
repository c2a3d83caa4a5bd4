#include "Keychain/KeychainKey.hpp"

#include <utility>

namespace orvane {

namespace {

void combine(std::size_t& seed, std::size_t value) noexcept {
    seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

}  // namespace

KeychainKey::KeychainKey(std::string account, std::string service, std::string name, std::string descriptor,
                         std::vector<KeychainTrustedApp> acl)
    : account_(std::move(account)),
      service_(std::move(service)),
      name_(std::move(name)),
      descriptor_(std::move(descriptor)),
      acl_(std::move(acl)) {}

std::vector<std::string> KeychainKey::aclPaths() const {
    std::vector<std::string> paths;
    paths.reserve(acl_.size());
    for (const KeychainTrustedApp& app : acl_) {
        paths.push_back(app.path());
    }
    return paths;
}

std::size_t KeychainKey::hashValue() const noexcept {
    const std::hash<std::string> hashString;
    std::size_t seed = hashString(account_);
    combine(seed, hashString(service_));
    combine(seed, hashString(name_));
    combine(seed, hashString(descriptor_));
    combine(seed, acl_.size());
    for (const KeychainTrustedApp& app : acl_) {
        combine(seed, std::hash<KeychainTrustedApp>{}(app));
    }
    return seed;
}

}  // namespace orvane

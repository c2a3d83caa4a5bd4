// LabelWatchingProxy: a keychain adaptor that passes every call on to
// another one unchanged and remembers whether an item was written with an
// empty label — what a repairing, migrating or replacing fetch does when the
// fetch was given no --name, so that the tool can warn about it.
//
// Thread safety: as the adaptor it wraps; the flag is atomic.
//
//   auto watch =
//   std::make_shared<orvane::cli::LabelWatchingProxy>(std::make_shared<orvane::SecKeychainProxy>());
//   orvane::Keychain(watch).fetch(key);
//   if (watch->wroteEmptyLabel()) { /* warn */ }
#pragma once

#include "Keychain/SecKeychainProxyType.hpp"

#include <atomic>
#include <memory>

namespace orvane::cli {

class LabelWatchingProxy : public SecKeychainProxyType {
public:
    explicit LabelWatchingProxy(std::shared_ptr<SecKeychainProxyType> proxy) : proxy_(std::move(proxy)) {}

    bool wroteEmptyLabel() const { return wroteEmptyLabel_; }

    std::optional<SecKeychainItem> fetchItem(const std::string& account, const std::string& service) override;
    std::optional<Data> fetchData(const std::string& account, const std::string& service) override;
    void deleteItem(const std::string& account, const std::string& service) override;
    void addItem(const std::string& account, const std::string& service, const std::string& name,
                 const std::string& descriptor, const std::vector<std::string>& aclPaths,
                 const Data& data) override;
    std::vector<Data> trustedApplicationsData(const SecKeychainItem& item) override;
    std::vector<Data> trustedApplicationsData(const std::vector<std::string>& paths) override;

private:
    const std::shared_ptr<SecKeychainProxyType> proxy_;
    std::atomic<bool> wroteEmptyLabel_ = false;
};

}  // namespace orvane::cli

#include "orvane/LabelWatchingProxy.hpp"

namespace orvane::cli {

std::optional<SecKeychainItem> LabelWatchingProxy::fetchItem(const std::string& account,
                                                             const std::string& service) {
    return proxy_->fetchItem(account, service);
}

std::optional<Data> LabelWatchingProxy::fetchData(const std::string& account, const std::string& service) {
    return proxy_->fetchData(account, service);
}

void LabelWatchingProxy::deleteItem(const std::string& account, const std::string& service) {
    proxy_->deleteItem(account, service);
}

void LabelWatchingProxy::addItem(const std::string& account, const std::string& service,
                                 const std::string& name, const std::string& descriptor,
                                 const std::vector<std::string>& aclPaths, const Data& data) {
    proxy_->addItem(account, service, name, descriptor, aclPaths, data);
    if (name.empty()) {
        wroteEmptyLabel_ = true;
    }
}

std::vector<Data> LabelWatchingProxy::trustedApplicationsData(const SecKeychainItem& item) {
    return proxy_->trustedApplicationsData(item);
}

std::vector<Data> LabelWatchingProxy::trustedApplicationsData(const std::vector<std::string>& paths) {
    return proxy_->trustedApplicationsData(paths);
}

}  // namespace orvane::cli

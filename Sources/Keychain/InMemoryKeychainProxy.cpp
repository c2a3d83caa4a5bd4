#include "Keychain/InMemoryKeychainProxy.hpp"

#include "Keychain/TrustedApplicationIdentity.hpp"

#include <algorithm>
#include <memory>

namespace orvane {

namespace {

// What a handle of this adaptor holds: the item it was made for.
struct HandleState {
    std::uint64_t identity;
    std::string account;
    std::string service;
};

}  // namespace

void InMemoryKeychainProxy::begin(Operation operation, const std::string& account, const std::string& service,
                                  bool accountKnown) {
    calls_.push_back(Call{operation, account, service});
    const auto failure =
        std::find_if(pendingFailures_.begin(), pendingFailures_.end(), [&](const auto& pending) {
            return pending.operation == operation &&
                   (!pending.account || (accountKnown && *pending.account == account));
        });
    if (failure != pendingFailures_.end()) {
        const std::exception_ptr error = failure->error;
        pendingFailures_.erase(failure);
        std::rethrow_exception(error);
    }
}

std::optional<SecKeychainItem> InMemoryKeychainProxy::fetchItem(const std::string& account,
                                                                const std::string& service) {
    const std::lock_guard lock(mutex_);
    begin(Operation::fetchItem, account, service);
    const auto found = items_.find(ItemAddress{account, service});
    if (found == items_.end()) {
        return std::nullopt;
    }
    return SecKeychainItem::holding(std::make_shared<const HandleState>(
        HandleState{found->second.identity, found->second.item.account, found->second.item.service}));
}

std::optional<Data> InMemoryKeychainProxy::fetchData(const std::string& account, const std::string& service) {
    const std::lock_guard lock(mutex_);
    begin(Operation::fetchData, account, service);
    const auto found = items_.find(ItemAddress{account, service});
    if (found == items_.end()) {
        return std::nullopt;
    }
    return found->second.item.data;
}

void InMemoryKeychainProxy::deleteItem(const std::string& account, const std::string& service) {
    const std::lock_guard lock(mutex_);
    begin(Operation::deleteItem, account, service);
    items_.erase(ItemAddress{account, service});
}

void InMemoryKeychainProxy::addItem(const std::string& account, const std::string& service,
                                    const std::string& name, const std::string& descriptor,
                                    const std::vector<std::string>& aclPaths, const Data& data) {
    const std::lock_guard lock(mutex_);
    begin(Operation::addItem, account, service);
    // Identities first: a bad path fails the add before anything is written.
    std::vector<Data> trusted = TrustedApplicationIdentity::blobsForPaths(aclPaths);
    const ItemAddress address{account, service};
    if (items_.contains(address)) {
        throw secKeychainError::savingKeyData(errSecDuplicateItem, account, service);
    }
    items_.emplace(address, StoredItem{nextIdentity_++,
                                       Item{account, service, name, descriptor.empty() ? account : descriptor,
                                            std::move(trusted), data}});
}

std::vector<Data> InMemoryKeychainProxy::trustedApplicationsData(const SecKeychainItem& item) {
    const std::lock_guard lock(mutex_);
    const auto state = item.stateAs<HandleState>();
    begin(Operation::trustedApplicationsDataOfItem, state ? state->account : std::string(),
          state ? state->service : std::string(), state != nullptr);
    if (!state) {
        throw secKeychainError::retrievingAccess(errSecInvalidItemRef);
    }
    const auto found = items_.find(ItemAddress{state->account, state->service});
    if (found == items_.end() || found->second.identity != state->identity) {
        throw secKeychainError::retrievingAccess(errSecInvalidItemRef);
    }
    // Records of an earlier version read as today's, as the platform adaptor reads them.
    std::vector<Data> blobs;
    for (const Data& stored : found->second.item.trustedApplications.value_or(std::vector<Data>{})) {
        blobs.push_back(TrustedApplicationIdentity::currentBlob(stored));
    }
    return blobs;
}

std::vector<Data> InMemoryKeychainProxy::trustedApplicationsData(const std::vector<std::string>& paths) {
    const std::lock_guard lock(mutex_);
    begin(Operation::trustedApplicationsDataOfPaths, {}, {}, false);
    return TrustedApplicationIdentity::blobsForPaths(paths);
}

void InMemoryKeychainProxy::failNextWith(Operation operation, std::exception_ptr error,
                                         std::optional<std::string> account) {
    const std::lock_guard lock(mutex_);
    pendingFailures_.push_back(PendingFailure{operation, std::move(account), std::move(error)});
}

std::size_t InMemoryKeychainProxy::pendingFailureCount() const {
    const std::lock_guard lock(mutex_);
    return pendingFailures_.size();
}

void InMemoryKeychainProxy::insertItem(Item item) {
    const std::lock_guard lock(mutex_);
    ItemAddress address{item.account, item.service};
    items_.insert_or_assign(std::move(address), StoredItem{nextIdentity_++, std::move(item)});
}

std::optional<InMemoryKeychainProxy::Item> InMemoryKeychainProxy::item(const std::string& account,
                                                                       const std::string& service) const {
    const std::lock_guard lock(mutex_);
    const auto found = items_.find(ItemAddress{account, service});
    if (found == items_.end()) {
        return std::nullopt;
    }
    return found->second.item;
}

std::size_t InMemoryKeychainProxy::itemCount() const {
    const std::lock_guard lock(mutex_);
    return items_.size();
}

std::vector<InMemoryKeychainProxy::Call> InMemoryKeychainProxy::calls() const {
    const std::lock_guard lock(mutex_);
    return calls_;
}

void InMemoryKeychainProxy::clearCalls() {
    const std::lock_guard lock(mutex_);
    calls_.clear();
}

}  // namespace orvane

// InMemoryKeychainProxy: a keychain adaptor that keeps its items in memory,
// for applications' unit tests and the library's own.
//
// It keeps the rules a Keychain relies on from any adaptor: a missing item is
// nothing, not an error; an add never replaces an existing item (it fails
// with the platform's "saving key data" error, status errSecDuplicateItem);
// deleting a missing item succeeds; and an item made with some application
// paths reports, through trustedApplicationsData(item), exactly the blobs
// that trustedApplicationsData(paths) makes for them (TrustedApplicationIdentity,
// so a path where no file exists is refused as the platform refuses it, and a
// record of an earlier version reads as today's).
//
// For tests it also
//   - records every call (calls()), so a test can see that nothing was written;
//   - fails chosen calls: failNext(operation, error) makes the next call of
//     that operation, optionally only for one account, throw `error` instead
//     of doing anything. Queued failures are used in the order given;
//   - seeds and inspects items directly (insertItem, item), including items
//     whose access admits every application (no trusted list at all) or that
//     trust blobs no path would produce.
// A handle from fetchItem refers to the item by identity: once that item is
// deleted (or replaced), reading its trusted applications fails with the
// "retrieving SecAccess for item" error, status errSecInvalidItemRef.
//
// Thread safety: every operation takes the adaptor's mutex; any thread may call.
//
//   auto proxy = std::make_shared<orvane::InMemoryKeychainProxy>();
//   orvane::Keychain keychain(proxy);
//   proxy->failNext(orvane::InMemoryKeychainProxy::Operation::addItem,
//                   orvane::secKeychainError::savingKeyData(orvane::errSecAuthFailed, "a", "s"));
#pragma once

#include "Keychain/SecKeychainProxyType.hpp"

#include <cstddef>
#include <cstdint>
#include <exception>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvane {

class InMemoryKeychainProxy : public SecKeychainProxyType {
public:
    enum class Operation {
        fetchItem,
        fetchData,
        deleteItem,
        addItem,
        trustedApplicationsDataOfItem,
        trustedApplicationsDataOfPaths,
    };

    struct Item {
        std::string account;
        std::string service;
        std::string label;
        // The name of the item's access record: the descriptor, or the account when that was empty.
        std::string accessDescriptor;
        // The identity blobs the item trusts, in entry order; nothing when its
        // access admits every application.
        std::optional<std::vector<Data>> trustedApplications;
        Data data;
    };

    // One call as the adaptor received it. trustedApplicationsData(item)
    // records the item's account and service; trustedApplicationsData(paths)
    // records neither.
    struct Call {
        Operation operation;
        std::string account;
        std::string service;

        friend bool operator==(const Call&, const Call&) = default;
    };

    std::optional<SecKeychainItem> fetchItem(const std::string& account, const std::string& service) override;
    std::optional<Data> fetchData(const std::string& account, const std::string& service) override;
    void deleteItem(const std::string& account, const std::string& service) override;
    void addItem(const std::string& account, const std::string& service, const std::string& name,
                 const std::string& descriptor, const std::vector<std::string>& aclPaths,
                 const Data& data) override;
    std::vector<Data> trustedApplicationsData(const SecKeychainItem& item) override;
    std::vector<Data> trustedApplicationsData(const std::vector<std::string>& paths) override;

    // failNext: the next call of `operation` (for `account` only, when given;
    // trustedApplicationsData(paths) has no account and matches only an
    // unrestricted failure) throws `error` and changes nothing.
    template <class E>
    void failNext(Operation operation, E error, std::optional<std::string> account = std::nullopt) {
        failNextWith(operation, std::make_exception_ptr(std::move(error)), std::move(account));
    }
    void failNextWith(Operation operation, std::exception_ptr error, std::optional<std::string> account);
    // pendingFailureCount: how many queued failures have not been used yet.
    std::size_t pendingFailureCount() const;

    // insertItem: puts the item in place as given, replacing any item with its
    // account and service; no call is recorded.
    void insertItem(Item item);
    // item: a copy of the item with this account and service, if any.
    std::optional<Item> item(const std::string& account, const std::string& service) const;
    std::size_t itemCount() const;

    std::vector<Call> calls() const;
    void clearCalls();

private:
    struct StoredItem {
        std::uint64_t identity;
        Item item;
    };
    struct PendingFailure {
        Operation operation;
        std::optional<std::string> account;
        std::exception_ptr error;
    };
    using ItemAddress = std::pair<std::string, std::string>;

    // Records the call, then throws the first queued failure that matches it.
    void begin(Operation operation, const std::string& account, const std::string& service,
               bool accountKnown = true);

    mutable std::mutex mutex_;
    std::map<ItemAddress, StoredItem> items_;
    std::uint64_t nextIdentity_ = 1;
    std::vector<PendingFailure> pendingFailures_;
    std::vector<Call> calls_;
};

}  // namespace orvane

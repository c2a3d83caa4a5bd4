#include "Keychain/SecKeychainProxy.hpp"

#include "Keychain/SecKeychainError.hpp"
#include "Keychain/SecretServiceAddLock.hpp"
#include "Keychain/SecretServiceSession.hpp"
#include "Keychain/TrustedApplicationIdentity.hpp"

#include <utility>

namespace orvane {

using namespace secretservice;

namespace {

// What an item handle of this adaptor holds: the item's path and its access
// record as read when the handle was made.
struct SecretServiceItemState {
    std::string path;
    std::optional<std::string> trustedApplications;
};

std::string encodeTrustedApplications(const std::vector<Data>& blobs) {
    std::string text;
    for (const Data& blob : blobs) {
        if (!text.empty()) {
            text += ',';
        }
        text += blob.base64EncodedString();
    }
    return text;
}

std::optional<std::vector<Data>> decodeTrustedApplications(std::string_view text) {
    std::vector<Data> blobs;
    while (!text.empty()) {
        const auto end = text.find(',');
        const std::string_view piece = text.substr(0, end);
        auto blob = Data::fromBase64(piece);
        if (piece.empty() || !blob) {
            return std::nullopt;
        }
        blobs.push_back(TrustedApplicationIdentity::currentBlob(*blob));
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
        if (text.empty()) {
            return std::nullopt;  // a trailing separator
        }
    }
    return blobs;
}

// bytesOf: a copy of a secret in the wiping byte buffer.
Data bytesOf(SecretValue* value) {
    gsize length = 0;
    const gchar* bytes = secret_value_get(value, &length);
    return Data(bytes, length);
}

}  // namespace

SecKeychainProxy::SecKeychainProxy(std::chrono::milliseconds timeout)
    : connection_(std::make_unique<secretservice::Connection>(timeout)) {}

SecKeychainProxy::~SecKeychainProxy() = default;

std::optional<SecKeychainItem> SecKeychainProxy::fetchItem(const std::string& account,
                                                           const std::string& service) {
    try {
        requireText({&account, &service});
        return connection_->perform([&](Session& session,
                                        BoundedWait& wait) -> std::optional<SecKeychainItem> {
            // The guessed item's secret travels beside its attributes, for the
            // fetchData that usually follows; a locked item simply sends none.
            using Calls = std::pair<BoundedWait::Call, BoundedWait::Call>;
            const std::uint64_t changesBefore = session.changesSeen();
            auto [paths, guessed, searchedAt] = session.searchGuessing(
                wait, account, service,
                [&](const std::string& path) {
                    return Calls{session.beginProperties(wait, path), session.beginSecret(wait, path)};
                },
                [&](Calls& calls, const std::string& path) {
                    std::pair<ItemProperties, ValuePtr> guess{
                        session.finishProperties(wait, calls.first, path), nullptr};
                    try {
                        guess.second = session.finishSecret(wait, calls.second);
                    } catch (const Failure&) {
                        // Read by fetchData, which handles a locked or vanished item.
                    }
                    return guess;
                });
            std::optional<ItemProperties> chosen;
            ValuePtr secret;
            if (guessed) {
                chosen = std::move(guessed->first);
                secret = std::move(guessed->second);
            } else {
                chosen = session.newest(wait, account, service, paths);
            }
            if (!chosen) {
                session.remember(account, service, std::nullopt);
                return std::nullopt;
            }
            ItemProperties item = std::move(*chosen);
            session.remember(account, service, item.path, searchedAt);
            if (item.locked) {
                // A locked item's attributes may be withheld; read them again once unlocked.
                item = session.whileListed(wait, account, service, item.path, [&] {
                    session.unlock(wait, {item.path});
                    return session.properties(wait, item.path);
                });
            }
            auto state = std::make_shared<SecretServiceItemState>();
            state->path = item.path;
            if (const auto found = item.attributes.find(trustedApplicationsAttribute);
                found != item.attributes.end()) {
                state->trustedApplications = found->second;
            }
            if (secret) {
                keepReadAhead({session.identity(), changesBefore, account, service, bytesOf(secret.get())});
            }
            return SecKeychainItem::holding(std::shared_ptr<const SecretServiceItemState>(std::move(state)));
        });
    } catch (const Failure& failure) {
        if (failure.status == errSecItemNotFound) {
            return std::nullopt;
        }
        throw secKeychainError::retrievingKeyData(failure.status, account, service);
    }
}

std::optional<Data> SecKeychainProxy::fetchData(const std::string& account, const std::string& service) {
    try {
        requireText({&account, &service});
        std::optional<ReadAhead> readAhead = takeReadAhead();
        return connection_->perform([&](Session& session, BoundedWait& wait) -> std::optional<Data> {
            // The secret fetchItem just read beside the item still holds when
            // the service has reported no change since: one round trip then.
            if (readAhead && readAhead->session == session.identity() && readAhead->account == account &&
                readAhead->service == service && session.unchangedSince(wait, readAhead->changes)) {
                return std::move(readAhead->secret);
            }
            auto [paths, guessed, searchedAt] = session.searchGuessing(
                wait, account, service,
                [&](const std::string& path) { return session.beginSecret(wait, path); },
                [&](secretservice::BoundedWait::Call& call, const std::string&) {
                    return session.finishSecret(wait, call);
                });
            if (guessed && *guessed) {
                session.remember(account, service, paths.front(), searchedAt);
                return bytesOf(guessed->get());
            }
            if (paths.empty()) {
                session.remember(account, service, std::nullopt);
                return std::nullopt;
            }
            // One match needs no choosing, which spares a round trip per read.
            std::string path = paths.front();
            if (paths.size() > 1) {
                std::optional<ItemProperties> chosen = session.newest(wait, account, service, paths);
                if (!chosen) {
                    return std::nullopt;
                }
                path = std::move(chosen->path);
            }
            session.remember(account, service, path, searchedAt);
            const auto read = [&] {
                ValuePtr value = session.secret(wait, path);
                if (!value && session.properties(wait, path).locked) {
                    throw Failure{errSecAuthFailed};
                }
                return value;
            };
            const ValuePtr value = session.whileListed(
                wait, account, service, path, [&] { return session.unlockingIfLocked(wait, {path}, read); });
            if (!value) {
                throw Failure{errSecSuccess};
            }
            return bytesOf(value.get());
        });
    } catch (const Failure& failure) {
        if (failure.status == errSecItemNotFound) {
            return std::nullopt;
        }
        throw secKeychainError::retrievingKeyData(failure.status, account, service);
    }
}

void SecKeychainProxy::deleteItem(const std::string& account, const std::string& service) {
    try {
        requireText({&account, &service});
        connection_->perform([&](Session& session, BoundedWait& wait) {
            // Other clients may have left several; none may remain.
            for (const std::string& path : session.search(wait, account, service)) {
                try {
                    session.whileListed(wait, account, service, path, [&] {
                        session.unlockingIfLocked(wait, {path}, [&] { session.remove(wait, path); });
                    });
                } catch (const Failure& failure) {
                    if (failure.status != errSecItemNotFound) {
                        throw;
                    }
                }
            }
            session.remember(account, service, std::nullopt);
        });
    } catch (const Failure& failure) {
        throw secKeychainError::removingKey(failure.status, account);
    }
}

void SecKeychainProxy::addItem(const std::string& account, const std::string& service,
                               const std::string& name, const std::string& descriptor,
                               const std::vector<std::string>& aclPaths, const Data& data) {
    // A path that names no application ends the add before anything is written.
    const std::vector<Data> blobs = TrustedApplicationIdentity::blobsForPaths(aclPaths);
    try {
        requireText({&account, &service, &name, &descriptor});
        const Attributes attributes{
            {schemaAttribute, schemaName},
            {accountAttribute, account},
            {serviceAttribute, service},
            {descriptorAttribute, descriptor.empty() ? account : descriptor},
            {trustedApplicationsAttribute, encodeTrustedApplications(blobs)},
        };
        const auto deadline = Clock::now() + connection_->timeout();
        connection_->perform([&](Session& session, BoundedWait& wait) {
            // The Secret Service would add a second item beside the first: no other
            // add of this item may come between the search and the create.
            const SecretServiceAddLock lock(account, service, deadline);
            if (!session.search(wait, account, service).empty()) {
                throw Failure{errSecDuplicateItem};
            }
            try {
                session.remember(account, service,
                                 session.unlockingIfLocked(wait, {defaultCollectionPath}, [&] {
                                     return session.create(wait, attributes, name, data);
                                 }));
            } catch (const Failure& failure) {
                if (failure.status == errSecItemNotFound ||
                    (failure.status == status::unimplemented && !session.hasDefaultCollection(wait))) {
                    throw Failure{status::noSuchKeychain};
                }
                throw;
            }
        });
    } catch (const Failure& failure) {
        throw secKeychainError::savingKeyData(failure.status, account, service);
    }
}

std::vector<Data> SecKeychainProxy::trustedApplicationsData(const SecKeychainItem& item) {
    const auto state = item.stateAs<SecretServiceItemState>();
    if (!state) {
        throw secKeychainError::retrievingAccess(errSecInvalidItemRef);
    }
    if (!state->trustedApplications) {
        return {};  // made by another client: no access record, so no application named
    }
    auto blobs = decodeTrustedApplications(*state->trustedApplications);
    if (!blobs) {
        throw secKeychainError::retrievingAccess(status::decode);
    }
    return std::move(*blobs);
}

std::vector<Data> SecKeychainProxy::trustedApplicationsData(const std::vector<std::string>& paths) {
    return TrustedApplicationIdentity::blobsForPaths(paths);
}

}  // namespace orvane

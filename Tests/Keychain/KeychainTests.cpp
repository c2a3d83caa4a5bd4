#include "Keychain/Keychain.hpp"

#include "Keychain/InMemoryKeychainProxy.hpp"
#include "Keychain/KeychainFetchError.hpp"
#include "Keychain/TrustedApplicationIdentity.hpp"
#include "Support/ScopedEnvironment.hpp"
#include "Support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using orvane::Data;
using orvane::InMemoryKeychainProxy;
using orvane::Keychain;
using orvane::KeychainFetchError;
using orvane::KeychainFetchOptions;
using orvane::KeychainKey;
using orvane::NSError;
using orvane::TrustedApplicationIdentity;
using Case = orvane::KeychainFetchError::Case;
using Option = orvane::KeychainFetchOptionsKey;
using Operation = orvane::InMemoryKeychainProxy::Operation;
using Apps = std::optional<std::vector<std::string>>;
namespace secKeychainError = orvane::secKeychainError;

// The error thrown by `call` if it is an E; nothing when it returns.
template <class E, class F>
std::optional<E> thrownBy(F&& call) {
    try {
        call();
    } catch (const E& error) {
        return error;
    }
    return std::nullopt;
}

template <class F>
std::optional<Case> fetchFailure(F&& call) {
    const auto error = thrownBy<KeychainFetchError>(call);
    return error ? std::optional<Case>(error->errorCase()) : std::nullopt;
}

// A failure the adaptor could report, distinct from every error the store makes.
const NSError injected = secKeychainError::make(-25293, "' injected");

class KeychainTests : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"vault", "helper", "legacy", "intruder"}) {
            std::ofstream(folder_.path() / name) << name;
        }
    }

    std::string app(const std::string& name) const { return (folder_.path() / name).string(); }

    KeychainKey makeKey(const std::string& service, const std::vector<std::string>& apps,
                        const std::string& account = "alice") const {
        std::vector<orvane::KeychainTrustedApp> acl;
        for (const std::string& name : apps) {
            acl.emplace_back(app(name));
        }
        return KeychainKey(account, service, "Name of " + service, "", std::move(acl));
    }

    // Puts an item for `key` in place that trusts the applications `apps`
    // (nothing: its access admits every one), recorded in `version`.
    void seed(const KeychainKey& key, Apps apps, const Data& bytes,
              std::uint8_t version = TrustedApplicationIdentity::currentVersion) {
        std::optional<std::vector<Data>> trusted;
        if (apps) {
            trusted.emplace();
            for (const std::string& name : *apps) {
                std::string blob = TrustedApplicationIdentity::forPath(app(name)).blob().toString();
                blob[4] = static_cast<char>(version);
                trusted->push_back(Data(blob));
            }
        }
        proxy_->insertItem({key.account(), key.service(), "old label", "old descriptor", trusted, bytes});
    }

    std::set<Data> blobsOf(const std::vector<std::string>& apps) const {
        std::set<Data> blobs;
        for (const std::string& name : apps) {
            blobs.insert(TrustedApplicationIdentity::forPath(app(name)).blob());
        }
        return blobs;
    }

    std::optional<std::set<Data>> trustOf(const KeychainKey& key) const {
        const auto item = proxy_->item(key.account(), key.service());
        if (!item || !item->trustedApplications) {
            return std::nullopt;
        }
        return std::set<Data>(item->trustedApplications->begin(), item->trustedApplications->end());
    }

    std::optional<Data> bytesOf(const KeychainKey& key) const {
        const auto item = proxy_->item(key.account(), key.service());
        return item ? std::optional<Data>(item->data) : std::nullopt;
    }

    // The deletes and adds made since the last clearCalls, in order.
    std::vector<Operation> writes() const {
        std::vector<Operation> result;
        for (const auto& call : proxy_->calls()) {
            if (call.operation == Operation::deleteItem || call.operation == Operation::addItem) {
                result.push_back(call.operation);
            }
        }
        return result;
    }

    bool touched(const KeychainKey& key) const {
        for (const auto& call : proxy_->calls()) {
            if (call.account == key.account() && call.service == key.service()) {
                return true;
            }
        }
        return false;
    }

    testsupport::TemporaryFolder folder_;
    std::shared_ptr<InMemoryKeychainProxy> proxy_ = std::make_shared<InMemoryKeychainProxy>();
    Keychain keychain_{proxy_};

    const KeychainKey key_ = makeKey("com.example.vault", {"vault", "helper"});
    const KeychainKey older_ = makeKey("com.example.legacy", {"vault", "legacy"}, "alice-legacy");
    const Data secret_{"s3cret"};
    const Data oldSecret_{"old s3cret"};
    const Data replacement_{"replacement"};
    const std::vector<Operation> repaired_{Operation::deleteItem, Operation::addItem};
};

// --- store, replace, remove ------------------------------------------------

TEST_F(KeychainTests, storedItemsReadBackWithoutWriting) {
    keychain_.store(key_, secret_);
    const auto item = proxy_->item(key_.account(), key_.service());
    ASSERT_TRUE(item);
    EXPECT_EQ(item->label, key_.name());
    EXPECT_EQ(item->accessDescriptor, key_.account());
    EXPECT_EQ(trustOf(key_), blobsOf({"vault", "helper"}));

    proxy_->clearCalls();
    orvane::KeychainType& store = keychain_;
    EXPECT_EQ(store.fetch(key_), secret_);
    EXPECT_TRUE(writes().empty());
}

TEST_F(KeychainTests, storeRefusesAnExistingItemAndReplaceOverwritesIt) {
    keychain_.store(key_, secret_);
    EXPECT_EQ(thrownBy<NSError>([&] { keychain_.store(key_, replacement_); }),
              secKeychainError::savingKeyData(orvane::errSecDuplicateItem, key_.account(), key_.service()));
    EXPECT_EQ(bytesOf(key_), secret_);

    keychain_.replace(key_, replacement_);
    EXPECT_EQ(keychain_.fetch(key_), replacement_);
    keychain_.remove(key_);
    keychain_.remove(key_);  // removing a missing item succeeds
    keychain_.replace(key_, secret_);
    EXPECT_EQ(bytesOf(key_), secret_);

    // Not atomic: an add refused after the delete leaves no item.
    proxy_->failNext(Operation::addItem, injected);
    EXPECT_EQ(thrownBy<NSError>([&] { keychain_.replace(key_, replacement_); }), injected);
    EXPECT_FALSE(bytesOf(key_));
}

TEST_F(KeychainTests, storeWithAnApplicationThatIsNotThereWritesNothing) {
    const KeychainKey broken = makeKey("svc", {"vault", "gone"});
    EXPECT_EQ(thrownBy<NSError>([&] { keychain_.store(broken, secret_); }),
              secKeychainError::creatingTrustedApplication(orvane::errSecIO, app("gone")));
    EXPECT_EQ(proxy_->itemCount(), 0U);
}

#if ORVANE_WITH_SECRET_SERVICE  // a build without it has no default store
TEST_F(KeychainTests, theDefaultStoreGoesToThePlatformKeychain) {
    // With no session bus named, the platform adaptor reports the keychain unreachable at once.
    std::optional<NSError> error;
    {
        const testsupport::ScopedEnvironment noBus(
            {{"DBUS_SESSION_BUS_ADDRESS", std::nullopt}, {"XDG_RUNTIME_DIR", std::nullopt}});
        Keychain platform;
        error = thrownBy<NSError>([&] { platform.fetch(key_); });
    }
    EXPECT_EQ(error, secKeychainError::retrievingKeyData(orvane::errSecNotAvailable, key_.account(),
                                                         key_.service()));
}
#endif

// --- trusted applications ------------------------------------------------------

TEST_F(KeychainTests, anUpdateThatMovesALinkKeepsTheTrust) {
    namespace fs = std::filesystem;
    for (const char* version : {"app-1.0", "app-1.1"}) {
        fs::create_directory(folder_.path() / version);
        std::ofstream(folder_.path() / version / "vault") << version;
    }
    fs::create_directory_symlink("app-1.0", folder_.path() / "current");
    const KeychainKey linked = makeKey("linked", {"current/vault"});
    keychain_.store(linked, secret_);

    fs::remove(folder_.path() / "current");
    fs::create_directory_symlink("app-1.1", folder_.path() / "current");
    fs::remove_all(folder_.path() / "app-1.0");
    proxy_->clearCalls();
    EXPECT_EQ(keychain_.fetch(linked, {{Option::replacingWithData, replacement_}}), secret_);
    EXPECT_TRUE(writes().empty());
}

TEST_F(KeychainTests, recordsOfTheEarlierVersionStillMatch) {
    seed(key_, std::vector<std::string>{"vault", "helper"}, secret_, 1);
    seed(older_, std::vector<std::string>{"vault", "intruder"}, oldSecret_, 1);
    proxy_->clearCalls();
    EXPECT_EQ(keychain_.fetch(key_), secret_);
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(older_); }), Case::invalidACL);
}

// --- fetch: the item is present ----------------------------------------------

TEST_F(KeychainTests, matchingTrustReturnsTheBytesWhateverTheOptions) {
    seed(key_, std::vector<std::string>{"helper", "vault", "helper"}, secret_);
    seed(older_, std::vector<std::string>{"vault"}, oldSecret_);
    proxy_->clearCalls();
    const KeychainFetchOptions everything{{Option::migratingFrom, orvane::toObject(older_)},
                                          {Option::replacingWithData, replacement_},
                                          {Option::bypassingACLChecks, false}};
    EXPECT_EQ(keychain_.fetch(key_, everything), secret_);
    EXPECT_TRUE(writes().empty());
    EXPECT_FALSE(touched(older_));
}

TEST_F(KeychainTests, incompleteTrustIsRepairedWithTheKeysFullList) {
    // Trusting a part of the key's list, none at all, or (access that admits every application) none named.
    for (const Apps& trust : {Apps{{"vault"}}, Apps{std::vector<std::string>{}}, Apps{}}) {
        seed(key_, trust, secret_);
        proxy_->clearCalls();
        // A replacement does not matter here: the item's own bytes are kept.
        EXPECT_EQ(keychain_.fetch(key_, {{Option::replacingWithData, replacement_}}), secret_);
        EXPECT_EQ(writes(), repaired_);
        const auto item = proxy_->item(key_.account(), key_.service());
        EXPECT_EQ(item->data, secret_);
        EXPECT_EQ(item->label, key_.name());
        EXPECT_EQ(item->accessDescriptor, key_.account());
        EXPECT_EQ(trustOf(key_), blobsOf({"vault", "helper"}));

        proxy_->clearCalls();
        EXPECT_EQ(keychain_.fetch(key_), secret_);
        EXPECT_TRUE(writes().empty());
    }
    // With an empty acl, access that admits every application is exactly what the key asks for.
    const KeychainKey open = makeKey("open", {});
    seed(open, std::nullopt, Data());
    proxy_->clearCalls();
    EXPECT_EQ(keychain_.fetch(open), Data());
    EXPECT_TRUE(writes().empty());
}

TEST_F(KeychainTests, foreignTrustFailsOrTakesTheReplacement) {
    seed(key_, std::vector<std::string>{"vault", "intruder"}, secret_);
    proxy_->clearCalls();
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_); }), Case::invalidACL);
    // A replacement of another type is no replacement.
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_, {{Option::replacingWithData, "replacement"}}); }),
              Case::invalidACL);
    EXPECT_TRUE(writes().empty());

    EXPECT_EQ(keychain_.fetch(key_, {{Option::replacingWithData, replacement_}}), replacement_);
    EXPECT_EQ(writes(), repaired_);
    EXPECT_EQ(bytesOf(key_), replacement_);
    EXPECT_EQ(trustOf(key_), blobsOf({"vault", "helper"}));

    // A key that trusts no application finds any trusted application foreign.
    const KeychainKey closed = makeKey("closed", {});
    seed(closed, std::vector<std::string>{"vault"}, secret_);
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(closed); }), Case::invalidACL);
}

TEST_F(KeychainTests, bypassingReadsAnyPresentItemWithoutWritingButOnlyWhenTrue) {
    for (const Apps& trust : {Apps{{"intruder"}}, Apps{{"vault"}}}) {
        seed(key_, trust, secret_);
        proxy_->clearCalls();
        EXPECT_EQ(keychain_.fetch(
                      key_, {{Option::bypassingACLChecks, true}, {Option::replacingWithData, replacement_}}),
                  secret_);
        for (const auto& call : proxy_->calls()) {
            EXPECT_TRUE(call.operation == Operation::fetchItem || call.operation == Operation::fetchData);
        }
    }
    seed(key_, std::vector<std::string>{"intruder"}, secret_);
    for (const orvane::Object& notTrue : {orvane::Object(false), orvane::Object("true"), orvane::Object(1)}) {
        EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_, {{Option::bypassingACLChecks, notTrue}}); }),
                  Case::invalidACL);
    }
}

// --- fetch: the item is missing ----------------------------------------------

TEST_F(KeychainTests, aMissingItemFailsOrTakesTheReplacementWithoutADelete) {
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_); }), Case::dataNotFound);
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_, {{Option::replacingWithData, "replacement"}}); }),
              Case::dataNotFound);
    EXPECT_TRUE(writes().empty());

    EXPECT_EQ(keychain_.fetch(key_, {{Option::replacingWithData, replacement_}}), replacement_);
    EXPECT_EQ(writes(), std::vector<Operation>{Operation::addItem});
    EXPECT_EQ(trustOf(key_), blobsOf({"vault", "helper"}));
}

TEST_F(KeychainTests, migrationCopiesFromACorrectlyOrIncompletelyProtectedOlderItem) {
    for (const Apps& trust : {Apps{{"legacy", "vault"}}, Apps{{"legacy"}}}) {
        seed(older_, trust, oldSecret_);
        proxy_->clearCalls();
        EXPECT_EQ(keychain_.fetch(key_, {{Option::migratingFrom, orvane::toObject(older_)}}), oldSecret_);
        EXPECT_EQ(writes(), std::vector<Operation>{Operation::addItem});
        EXPECT_EQ(proxy_->item(key_.account(), key_.service())->label, key_.name());
        EXPECT_EQ(trustOf(key_), blobsOf({"vault", "helper"}));
        // The older item is left exactly as it was.
        EXPECT_EQ(proxy_->item(older_.account(), older_.service())->label, "old label");
        EXPECT_EQ(trustOf(older_), blobsOf(*trust));

        // Once migrated, the new item is found directly.
        proxy_->clearCalls();
        EXPECT_EQ(keychain_.fetch(key_, {{Option::migratingFrom, orvane::toObject(older_)}}), oldSecret_);
        EXPECT_FALSE(touched(older_));
        keychain_.remove(key_);
    }
}

TEST_F(KeychainTests, migrationRefusesAForeignProtectedOlderItemUnlessInsecure) {
    seed(older_, std::vector<std::string>{"intruder"}, oldSecret_);
    EXPECT_EQ(fetchFailure([&] {
                  keychain_.fetch(key_, {{Option::migratingFrom, orvane::toObject(older_)},
                                         {Option::replacingWithData, replacement_}});
              }),
              Case::invalidACL);
    EXPECT_TRUE(writes().empty());

    proxy_->clearCalls();
    EXPECT_EQ(keychain_.fetch(key_, {{Option::migratingInsecurelyFrom, orvane::toObject(older_)}}),
              oldSecret_);
    EXPECT_EQ(trustOf(key_), blobsOf({"vault", "helper"}));
    for (const auto& call : proxy_->calls()) {
        EXPECT_NE(call.operation, Operation::trustedApplicationsDataOfItem);
    }
}

TEST_F(KeychainTests, aMissingOlderItemFallsBackToTheReplacement) {
    for (const Option migration : {Option::migratingFrom, Option::migratingInsecurelyFrom}) {
        EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_, {{migration, orvane::toObject(older_)}}); }),
                  Case::dataNotFound);
        EXPECT_EQ(keychain_.fetch(key_, {{migration, orvane::toObject(older_)},
                                         {Option::replacingWithData, replacement_}}),
                  replacement_);
        EXPECT_EQ(bytesOf(key_), replacement_);
        keychain_.remove(key_);
    }
}

TEST_F(KeychainTests, anyMigratingFromEntryTurnsTheOlderItemsCheckOnAndWins) {
    const KeychainKey other = makeKey("com.example.other", {"legacy"});
    seed(older_, std::vector<std::string>{"intruder"}, oldSecret_);
    seed(other, std::vector<std::string>{"legacy"}, secret_);
    // Both are keys: migratingFrom's is read, with the check on.
    EXPECT_EQ(fetchFailure([&] {
                  keychain_.fetch(key_, {{Option::migratingFrom, orvane::toObject(older_)},
                                         {Option::migratingInsecurelyFrom, orvane::toObject(other)}});
              }),
              Case::invalidACL);
    EXPECT_FALSE(touched(other));
    // A value that is not a key names nothing to migrate from, but still turns the check on.
    const KeychainFetchOptions options{{Option::migratingFrom, "not a key"},
                                       {Option::migratingInsecurelyFrom, orvane::toObject(older_)}};
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_, options); }), Case::invalidACL);
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_, {{Option::migratingFrom, "not a key"}}); }),
              Case::dataNotFound);
}

// --- fetch: failures inside the read, the repairs and the migrations ----------

TEST_F(KeychainTests, readFailuresEndTheFetchBeforeAnyWrite) {
    seed(older_, std::vector<std::string>{"vault", "legacy"}, oldSecret_);
    for (const Operation operation :
         {Operation::fetchItem, Operation::fetchData, Operation::trustedApplicationsDataOfItem,
          Operation::trustedApplicationsDataOfPaths}) {
        SCOPED_TRACE(static_cast<int>(operation));
        // The key's own item, which trusts a foreign application...
        seed(key_, std::vector<std::string>{"intruder"}, secret_);
        proxy_->clearCalls();
        proxy_->failNext(operation, injected);
        const KeychainFetchOptions replacing{{Option::replacingWithData, replacement_}};
        EXPECT_EQ(thrownBy<NSError>([&] { keychain_.fetch(key_, replacing); }), injected);
        EXPECT_TRUE(writes().empty());
        EXPECT_EQ(bytesOf(key_), secret_);

        // ...and the older item of a migration. The key's read stops at its missing
        // item, so the one application-paths call is the older key's.
        keychain_.remove(key_);
        proxy_->failNext(operation, injected,
                         operation == Operation::trustedApplicationsDataOfPaths ? std::nullopt
                                                                                : std::optional(older_.account()));
        EXPECT_EQ(thrownBy<NSError>([&] {
                      keychain_.fetch(key_, {{Option::migratingFrom, orvane::toObject(older_)},
                                             {Option::replacingWithData, replacement_}});
                  }),
                  injected);
        EXPECT_EQ(proxy_->pendingFailureCount(), 0U);
        EXPECT_FALSE(bytesOf(key_));
        EXPECT_EQ(bytesOf(older_), oldSecret_);
    }
    proxy_->failNext(Operation::fetchItem, std::runtime_error("adaptor trouble"));
    EXPECT_STREQ(thrownBy<std::runtime_error>([&] { keychain_.fetch(key_); })->what(), "adaptor trouble");
}

// Every delete or add of a repair, replacement or migration that fails ends
// the fetch with its error; a failed add after the delete leaves no item.
TEST_F(KeychainTests, aFailedWriteEndsTheFetchWithItsError) {
    const auto from = [&](Option migration) { return std::pair{migration, orvane::toObject(older_)}; };
    const std::pair replacing{Option::replacingWithData, orvane::Object(replacement_)};
    const struct {
        const char* scenario;
        Apps keyTrust;  // nothing: no item
        Apps olderTrust;
        KeychainFetchOptions options;
        Operation failing;
        bool keyKept;
    } rows[] = {
        {"repair", Apps{{"vault"}}, {}, {}, Operation::deleteItem, true},
        {"repair", Apps{{"vault"}}, {}, {}, Operation::addItem, false},
        {"replacing a foreign item", Apps{{"intruder"}}, {}, {replacing}, Operation::deleteItem, true},
        {"replacing a foreign item", Apps{{"intruder"}}, {}, {replacing}, Operation::addItem, false},
        {"replacing a missing item", {}, {}, {replacing}, Operation::addItem, false},
        // The add's error is no fetch error, so the replacement is not consulted.
        {"migration", {}, Apps{{"vault", "legacy"}}, {from(Option::migratingFrom), replacing}, Operation::addItem, false},
        {"insecure migration", {}, Apps{{"vault", "legacy"}}, {from(Option::migratingInsecurelyFrom), replacing},
         Operation::addItem, false},
        {"migration of an incomplete item", {}, Apps{{"legacy"}}, {from(Option::migratingFrom)}, Operation::addItem, false},
        {"replacement after a missing older item", {}, {}, {from(Option::migratingFrom), replacing},
         Operation::addItem, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.scenario);
        keychain_.remove(key_);
        keychain_.remove(older_);
        if (row.keyTrust) {
            seed(key_, row.keyTrust, secret_);
        }
        if (row.olderTrust) {
            seed(older_, row.olderTrust, oldSecret_);
        }
        proxy_->failNext(row.failing, injected);
        EXPECT_EQ(thrownBy<NSError>([&] { keychain_.fetch(key_, row.options); }), injected);
        EXPECT_EQ(bytesOf(key_), row.keyKept ? std::optional(secret_) : std::nullopt);
        EXPECT_EQ(bytesOf(older_), row.olderTrust ? std::optional(oldSecret_) : std::nullopt);
    }
}

TEST_F(KeychainTests, aFetchErrorFromTheMigratingStoreIsHandledLikeOneFromTheRead) {
    seed(older_, std::vector<std::string>{"vault", "legacy"}, oldSecret_);
    const KeychainFetchOptions options{{Option::migratingFrom, orvane::toObject(older_)},
                                       {Option::replacingWithData, replacement_}};

    proxy_->failNext(Operation::addItem, KeychainFetchError::invalidACL());
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_, options); }), Case::invalidACL);
    EXPECT_FALSE(bytesOf(key_));

    proxy_->failNext(Operation::addItem, KeychainFetchError::dataNotFound());
    EXPECT_EQ(keychain_.fetch(key_, options), replacement_);
    keychain_.remove(key_);

    proxy_->failNext(Operation::addItem, KeychainFetchError::incompleteACL(Data("carried")));
    EXPECT_EQ(keychain_.fetch(key_, options), Data("carried"));
    EXPECT_EQ(bytesOf(key_), Data("carried"));
    keychain_.remove(key_);

    proxy_->failNext(Operation::addItem, KeychainFetchError::dataNotFound());
    EXPECT_EQ(fetchFailure([&] {
                  keychain_.fetch(key_, {{Option::migratingFrom, orvane::toObject(older_)}});
              }),
              Case::dataNotFound);
}

}  // namespace

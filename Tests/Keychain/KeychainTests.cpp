#include "Keychain/Keychain.hpp"

#include "Keychain/InMemoryKeychainProxy.hpp"
#include "Keychain/KeychainFetchError.hpp"
#include "Keychain/TrustedApplicationIdentity.hpp"
#include "Support/ScopedEnvironment.hpp"
#include "Support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdlib>
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
using Case = orvane::KeychainFetchError::Case;
using Option = orvane::KeychainFetchOptionsKey;
using Operation = orvane::InMemoryKeychainProxy::Operation;
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

    // Puts an item for `key` in place that trusts the applications `apps` (nothing: admits every one).
    void seed(const KeychainKey& key, std::optional<std::vector<std::string>> apps, const Data& bytes,
              const std::string& label = "old label") {
        std::optional<std::vector<Data>> trusted;
        if (apps) {
            trusted.emplace();
            for (const std::string& name : *apps) {
                trusted->push_back(orvane::TrustedApplicationIdentity::forPath(app(name)).blob());
            }
        }
        proxy_->insertItem({key.account(), key.service(), label, "old descriptor", trusted, bytes});
    }

    std::set<Data> blobsOf(const std::vector<std::string>& apps) const {
        std::set<Data> blobs;
        for (const std::string& name : apps) {
            blobs.insert(orvane::TrustedApplicationIdentity::forPath(app(name)).blob());
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
    std::vector<InMemoryKeychainProxy::Call> writes() const {
        std::vector<InMemoryKeychainProxy::Call> result;
        for (const auto& call : proxy_->calls()) {
            if (call.operation == Operation::deleteItem || call.operation == Operation::addItem) {
                result.push_back(call);
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
    // Replacing a missing item just stores it.
    keychain_.remove(key_);
    keychain_.replace(key_, secret_);
    EXPECT_EQ(bytesOf(key_), secret_);
}

TEST_F(KeychainTests, storeWithAnApplicationThatIsNotThereWritesNothing) {
    const KeychainKey broken = makeKey("svc", {"vault", "gone"});
    EXPECT_EQ(thrownBy<NSError>([&] { keychain_.store(broken, secret_); }),
              secKeychainError::creatingTrustedApplication(orvane::errSecIO, app("gone")));
    EXPECT_EQ(proxy_->itemCount(), 0U);
}

TEST_F(KeychainTests, replaceIsNotAtomic) {
    keychain_.store(key_, secret_);
    proxy_->failNext(Operation::deleteItem, injected);
    EXPECT_EQ(thrownBy<NSError>([&] { keychain_.replace(key_, replacement_); }), injected);
    EXPECT_EQ(bytesOf(key_), secret_);
    EXPECT_EQ(writes().size(), 2U);  // the first store, the refused delete; no add after it

    proxy_->failNext(Operation::addItem, injected);
    EXPECT_EQ(thrownBy<NSError>([&] { keychain_.replace(key_, replacement_); }), injected);
    EXPECT_FALSE(bytesOf(key_));
}

TEST_F(KeychainTests, removeSucceedsTwiceAndPassesFailuresOn) {
    keychain_.store(key_, secret_);
    keychain_.remove(key_);
    keychain_.remove(key_);
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_); }), Case::dataNotFound);
    proxy_->failNext(Operation::deleteItem, injected);
    EXPECT_EQ(thrownBy<NSError>([&] { keychain_.remove(key_); }), injected);
}

TEST_F(KeychainTests, needsAnAdaptor) {
    EXPECT_THROW(Keychain(nullptr), std::invalid_argument);
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
    seed(key_, std::vector<std::string>{"vault"}, secret_);
    proxy_->clearCalls();
    // A replacement does not matter here: the item's own bytes are kept.
    EXPECT_EQ(keychain_.fetch(key_, {{Option::replacingWithData, replacement_}}), secret_);
    ASSERT_EQ(writes().size(), 2U);
    EXPECT_EQ(writes()[0].operation, Operation::deleteItem);
    EXPECT_EQ(writes()[1].operation, Operation::addItem);
    const auto item = proxy_->item(key_.account(), key_.service());
    EXPECT_EQ(item->data, secret_);
    EXPECT_EQ(item->label, key_.name());
    EXPECT_EQ(item->accessDescriptor, key_.account());
    EXPECT_EQ(trustOf(key_), blobsOf({"vault", "helper"}));

    proxy_->clearCalls();
    EXPECT_EQ(keychain_.fetch(key_), secret_);
    EXPECT_TRUE(writes().empty());
}

TEST_F(KeychainTests, accessAdmittingEveryApplicationCountsAsTrustingNone) {
    seed(key_, std::nullopt, secret_);
    EXPECT_EQ(keychain_.fetch(key_), secret_);
    EXPECT_EQ(trustOf(key_), blobsOf({"vault", "helper"}));

    // With an empty acl that is exactly what the key asks for.
    const KeychainKey open = makeKey("open", {});
    seed(open, std::nullopt, secret_);
    proxy_->clearCalls();
    EXPECT_EQ(keychain_.fetch(open), secret_);
    EXPECT_TRUE(writes().empty());
}

TEST_F(KeychainTests, emptyItemsAreReturnedAndRepairedLikeAnyOther) {
    seed(key_, std::vector<std::string>{}, Data());
    EXPECT_EQ(keychain_.fetch(key_), Data());
    EXPECT_EQ(bytesOf(key_), Data());
    EXPECT_EQ(trustOf(key_), blobsOf({"vault", "helper"}));
}

TEST_F(KeychainTests, foreignTrustFailsAndLeavesTheItemAlone) {
    seed(key_, std::vector<std::string>{"vault", "intruder"}, secret_);
    proxy_->clearCalls();
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_); }), Case::invalidACL);
    EXPECT_TRUE(writes().empty());

    // A key that trusts no application finds any trusted application foreign.
    const KeychainKey closed = makeKey("closed", {});
    seed(closed, std::vector<std::string>{"vault"}, secret_);
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(closed); }), Case::invalidACL);
}

TEST_F(KeychainTests, foreignTrustWithAReplacementStoresTheReplacement) {
    seed(key_, std::vector<std::string>{"intruder"}, secret_);
    proxy_->clearCalls();
    EXPECT_EQ(keychain_.fetch(key_, {{Option::replacingWithData, replacement_}}), replacement_);
    ASSERT_EQ(writes().size(), 2U);
    EXPECT_EQ(writes()[0].operation, Operation::deleteItem);
    EXPECT_EQ(bytesOf(key_), replacement_);
    EXPECT_EQ(trustOf(key_), blobsOf({"vault", "helper"}));
}

TEST_F(KeychainTests, bypassingReadsAnyPresentItemWithoutWriting) {
    for (const auto& trust : {std::vector<std::string>{"intruder"}, std::vector<std::string>{"vault"}}) {
        seed(key_, trust, secret_);
        proxy_->clearCalls();
        EXPECT_EQ(keychain_.fetch(
                      key_, {{Option::bypassingACLChecks, true}, {Option::replacingWithData, replacement_}}),
                  secret_);
        EXPECT_TRUE(writes().empty());
        for (const auto& call : proxy_->calls()) {
            EXPECT_TRUE(call.operation == Operation::fetchItem || call.operation == Operation::fetchData);
        }
    }
}

TEST_F(KeychainTests, bypassOfAnotherTypeIsIgnored) {
    seed(key_, std::vector<std::string>{"intruder"}, secret_);
    for (const orvane::Object& notABoolean : {orvane::Object("true"), orvane::Object(1), orvane::Object()}) {
        EXPECT_EQ(fetchFailure([&] {
                      keychain_.fetch(key_, {{Option::bypassingACLChecks, notABoolean}});
                  }),
                  Case::invalidACL);
    }
}

TEST_F(KeychainTests, aReplacementOfAnotherTypeIsIgnored) {
    seed(key_, std::vector<std::string>{"intruder"}, secret_);
    EXPECT_EQ(fetchFailure([&] {
                  keychain_.fetch(key_, {{Option::replacingWithData, "replacement"}});
              }),
              Case::invalidACL);
    EXPECT_EQ(bytesOf(key_), secret_);
    const KeychainKey missing = makeKey("missing", {"vault"});
    EXPECT_EQ(fetchFailure([&] {
                  keychain_.fetch(missing, {{Option::replacingWithData, "replacement"}});
              }),
              Case::dataNotFound);
}

// --- fetch: the item is missing ----------------------------------------------

TEST_F(KeychainTests, aMissingItemWithoutOptionsIsNotFoundAndNothingIsWritten) {
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_); }), Case::dataNotFound);
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(proxy_->itemCount(), 0U);
}

TEST_F(KeychainTests, aMissingItemTakesTheReplacementWithoutADelete) {
    EXPECT_EQ(keychain_.fetch(key_, {{Option::replacingWithData, replacement_}}), replacement_);
    ASSERT_EQ(writes().size(), 1U);
    EXPECT_EQ(writes()[0].operation, Operation::addItem);
    EXPECT_EQ(trustOf(key_), blobsOf({"vault", "helper"}));
}

TEST_F(KeychainTests, migrationCopiesFromACorrectlyProtectedOlderItem) {
    seed(older_, std::vector<std::string>{"legacy", "vault"}, oldSecret_, "legacy label");
    EXPECT_EQ(keychain_.fetch(key_, {{Option::migratingFrom, orvane::toObject(older_)}}), oldSecret_);
    EXPECT_EQ(bytesOf(key_), oldSecret_);
    EXPECT_EQ(trustOf(key_), blobsOf({"vault", "helper"}));
    EXPECT_EQ(proxy_->item(key_.account(), key_.service())->label, key_.name());
    // The older item is left exactly as it was.
    const auto old = proxy_->item(older_.account(), older_.service());
    EXPECT_EQ(old->data, oldSecret_);
    EXPECT_EQ(old->label, "legacy label");

    // Once migrated, the new item is found directly.
    proxy_->clearCalls();
    EXPECT_EQ(keychain_.fetch(key_, {{Option::migratingFrom, orvane::toObject(older_)}}), oldSecret_);
    EXPECT_FALSE(touched(older_));
    EXPECT_TRUE(writes().empty());
}

TEST_F(KeychainTests, migrationCopiesFromAnIncompletelyProtectedOlderItemWithoutRepairingIt) {
    seed(older_, std::vector<std::string>{"legacy"}, oldSecret_);
    EXPECT_EQ(keychain_.fetch(key_, {{Option::migratingFrom, orvane::toObject(older_)}}), oldSecret_);
    EXPECT_EQ(trustOf(key_), blobsOf({"vault", "helper"}));
    EXPECT_EQ(trustOf(older_), blobsOf({"legacy"}));
    ASSERT_EQ(writes().size(), 1U);
    EXPECT_EQ(writes()[0].service, key_.service());
}

TEST_F(KeychainTests, migrationRefusesAForeignProtectedOlderItemEvenWithAReplacement) {
    seed(older_, std::vector<std::string>{"intruder"}, oldSecret_);
    EXPECT_EQ(fetchFailure([&] {
                  keychain_.fetch(key_, {{Option::migratingFrom, orvane::toObject(older_)},
                                         {Option::replacingWithData, replacement_}});
              }),
              Case::invalidACL);
    EXPECT_FALSE(bytesOf(key_));
    EXPECT_TRUE(writes().empty());
}

TEST_F(KeychainTests, insecureMigrationDoesNotExamineTheOlderItemsTrust) {
    seed(older_, std::vector<std::string>{"intruder"}, oldSecret_);
    EXPECT_EQ(keychain_.fetch(key_, {{Option::migratingInsecurelyFrom, orvane::toObject(older_)}}),
              oldSecret_);
    EXPECT_EQ(trustOf(key_), blobsOf({"vault", "helper"}));
    for (const auto& call : proxy_->calls()) {
        EXPECT_NE(call.operation, Operation::trustedApplicationsDataOfItem);
        EXPECT_NE(call.operation, Operation::trustedApplicationsDataOfPaths);
    }
}

TEST_F(KeychainTests, aMissingOlderItemFallsBackToTheReplacement) {
    for (const Option migration : {Option::migratingFrom, Option::migratingInsecurelyFrom}) {
        EXPECT_EQ(fetchFailure([&] {
                      keychain_.fetch(key_, {{migration, orvane::toObject(older_)}});
                  }),
                  Case::dataNotFound);
        EXPECT_EQ(keychain_.fetch(key_, {{migration, orvane::toObject(older_)},
                                         {Option::replacingWithData, replacement_}}),
                  replacement_);
        EXPECT_EQ(bytesOf(key_), replacement_);
        keychain_.remove(key_);
    }
}

TEST_F(KeychainTests, migratingFromWinsOverTheInsecureMigration) {
    const KeychainKey other = makeKey("com.example.other", {"legacy"});
    seed(older_, std::vector<std::string>{"intruder"}, oldSecret_);
    seed(other, std::vector<std::string>{"legacy"}, secret_);
    // Both are keys: migratingFrom's is read, with the check on, and its foreign trust refused.
    EXPECT_EQ(fetchFailure([&] {
                  keychain_.fetch(key_, {{Option::migratingFrom, orvane::toObject(older_)},
                                         {Option::migratingInsecurelyFrom, orvane::toObject(other)}});
              }),
              Case::invalidACL);
    EXPECT_FALSE(touched(other));
}

TEST_F(KeychainTests, anyMigratingFromEntryTurnsTheOlderItemsCheckOn) {
    seed(older_, std::vector<std::string>{"intruder"}, oldSecret_);
    const KeychainFetchOptions options{{Option::migratingFrom, "not a key"},
                                       {Option::migratingInsecurelyFrom, orvane::toObject(older_)}};
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_, options); }), Case::invalidACL);

    // Without an older key it names nothing to migrate from.
    EXPECT_EQ(fetchFailure([&] {
                  keychain_.fetch(key_, {{Option::migratingFrom, "not a key"}});
              }),
              Case::dataNotFound);
    EXPECT_EQ(keychain_.fetch(key_, {{Option::migratingFrom, Data("not a key")},
                                     {Option::replacingWithData, replacement_}}),
              replacement_);
}

// --- fetch: failures inside the read, the repairs and the migrations ----------

TEST_F(KeychainTests, readFailuresEndTheFetchBeforeAnyWrite) {
    for (const Operation operation :
         {Operation::fetchItem, Operation::fetchData, Operation::trustedApplicationsDataOfItem,
          Operation::trustedApplicationsDataOfPaths}) {
        SCOPED_TRACE(static_cast<int>(operation));
        seed(key_, std::vector<std::string>{"intruder"}, secret_);
        proxy_->clearCalls();
        proxy_->failNext(operation, injected);
        EXPECT_EQ(thrownBy<NSError>([&] {
                      keychain_.fetch(key_, {{Option::replacingWithData, replacement_}});
                  }),
                  injected);
        EXPECT_TRUE(writes().empty());
        EXPECT_EQ(bytesOf(key_), secret_);
    }
}

TEST_F(KeychainTests, errorsOfAnyTypeFromTheAdaptorPassThroughUnchanged) {
    proxy_->failNext(Operation::fetchItem, std::runtime_error("adaptor trouble"));
    const auto error = thrownBy<std::runtime_error>([&] { keychain_.fetch(key_); });
    ASSERT_TRUE(error);
    EXPECT_STREQ(error->what(), "adaptor trouble");
}

TEST_F(KeychainTests, aFailedDeleteDuringARepairKeepsTheItem) {
    seed(key_, std::vector<std::string>{"vault"}, secret_);
    proxy_->failNext(Operation::deleteItem, injected);
    EXPECT_EQ(thrownBy<NSError>([&] { keychain_.fetch(key_); }), injected);
    EXPECT_EQ(bytesOf(key_), secret_);
    EXPECT_EQ(trustOf(key_), blobsOf({"vault"}));
}

TEST_F(KeychainTests, aFailedAddDuringARepairLosesTheItem) {
    seed(key_, std::vector<std::string>{"vault"}, secret_);
    proxy_->failNext(Operation::addItem, injected);
    // The caller gets the add's error, not the bytes, and the item is gone.
    EXPECT_EQ(thrownBy<NSError>([&] { keychain_.fetch(key_); }), injected);
    EXPECT_FALSE(bytesOf(key_));
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_); }), Case::dataNotFound);
}

TEST_F(KeychainTests, failuresWhileReplacingAForeignItem) {
    seed(key_, std::vector<std::string>{"intruder"}, secret_);
    proxy_->failNext(Operation::deleteItem, injected);
    EXPECT_EQ(thrownBy<NSError>([&] {
                  keychain_.fetch(key_, {{Option::replacingWithData, replacement_}});
              }),
              injected);
    EXPECT_EQ(bytesOf(key_), secret_);

    proxy_->failNext(Operation::addItem, injected);
    EXPECT_EQ(thrownBy<NSError>([&] {
                  keychain_.fetch(key_, {{Option::replacingWithData, replacement_}});
              }),
              injected);
    EXPECT_FALSE(bytesOf(key_));
}

TEST_F(KeychainTests, aFailedAddOfTheReplacementForAMissingItem) {
    proxy_->failNext(Operation::addItem, injected);
    EXPECT_EQ(thrownBy<NSError>([&] {
                  keychain_.fetch(key_, {{Option::replacingWithData, replacement_}});
              }),
              injected);
    EXPECT_EQ(proxy_->itemCount(), 0U);
}

TEST_F(KeychainTests, failuresReadingTheOlderItemEndTheMigration) {
    seed(older_, std::vector<std::string>{"vault", "legacy"}, oldSecret_);
    for (const Operation operation :
         {Operation::fetchItem, Operation::fetchData, Operation::trustedApplicationsDataOfItem,
          Operation::trustedApplicationsDataOfPaths}) {
        SCOPED_TRACE(static_cast<int>(operation));
        proxy_->clearCalls();
        // Only the older item's reads fail. The key's own read stops at its missing item, so the
        // one application-paths call is the older key's.
        if (operation == Operation::trustedApplicationsDataOfPaths) {
            proxy_->failNext(operation, injected);
        } else {
            proxy_->failNext(operation, injected, older_.account());
        }
        EXPECT_EQ(thrownBy<NSError>([&] {
                      keychain_.fetch(key_, {{Option::migratingFrom, orvane::toObject(older_)},
                                             {Option::replacingWithData, replacement_}});
                  }),
                  injected);
        EXPECT_EQ(proxy_->pendingFailureCount(), 0U);
        EXPECT_TRUE(writes().empty());
        EXPECT_FALSE(bytesOf(key_));
        EXPECT_EQ(bytesOf(older_), oldSecret_);
    }
}

TEST_F(KeychainTests, aFailedAddOfTheMigratedItemEndsTheFetch) {
    seed(older_, std::vector<std::string>{"vault", "legacy"}, oldSecret_);
    for (const Option migration : {Option::migratingFrom, Option::migratingInsecurelyFrom}) {
        proxy_->failNext(Operation::addItem, injected);
        // The add's error is no fetch error, so the replacement is not consulted.
        EXPECT_EQ(thrownBy<NSError>([&] {
                      keychain_.fetch(key_, {{migration, orvane::toObject(older_)},
                                             {Option::replacingWithData, replacement_}});
                  }),
                  injected);
        EXPECT_FALSE(bytesOf(key_));
        EXPECT_EQ(bytesOf(older_), oldSecret_);
        EXPECT_EQ(trustOf(older_), blobsOf({"vault", "legacy"}));
    }
}

TEST_F(KeychainTests, aFailedAddAfterAnIncompleteOlderItemEndsTheFetch) {
    seed(older_, std::vector<std::string>{"legacy"}, oldSecret_);
    proxy_->failNext(Operation::addItem, injected);
    EXPECT_EQ(thrownBy<NSError>([&] {
                  keychain_.fetch(key_, {{Option::migratingFrom, orvane::toObject(older_)}});
              }),
              injected);
    EXPECT_FALSE(bytesOf(key_));
    EXPECT_EQ(bytesOf(older_), oldSecret_);
}

TEST_F(KeychainTests, aFailedAddOfTheReplacementAfterAMissingOlderItemEndsTheFetch) {
    proxy_->failNext(Operation::addItem, injected);
    EXPECT_EQ(thrownBy<NSError>([&] {
                  keychain_.fetch(key_, {{Option::migratingFrom, orvane::toObject(older_)},
                                         {Option::replacingWithData, replacement_}});
              }),
              injected);
    EXPECT_EQ(proxy_->itemCount(), 0U);
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
    EXPECT_EQ(bytesOf(key_), replacement_);
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

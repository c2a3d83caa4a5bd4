#include "Keychain/Keychain.hpp"

#include "Keychain/InMemoryKeychainProxy.hpp"
#include "Keychain/KeychainFetchError.hpp"
#include "Keychain/TrustedApplicationIdentity.hpp"
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
using orvane::KeychainFetchError;
using orvane::KeychainFetchOptions;
using orvane::KeychainKey;
using orvane::NSError;
using orvane::TrustedApplicationIdentity;
using Case = orvane::KeychainFetchError::Case;
using Option = orvane::KeychainFetchOptionsKey;
using Operation = orvane::InMemoryKeychainProxy::Operation;
using Apps = std::optional<std::vector<std::string>>;

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
const NSError injected = orvane::secKeychainError::make(-25293, "' injected");

class KeychainTests : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"vault", "helper", "legacy", "intruder"}) {
            std::ofstream(folder_.path() / name) << name;
        }
    }

    std::string app(const std::string& name) const { return (folder_.path() / name).string(); }

    KeychainKey makeKey(const std::string& service, const std::vector<std::string>& apps) const {
        std::vector<orvane::KeychainTrustedApp> acl;
        for (const std::string& name : apps) {
            acl.emplace_back(app(name));
        }
        return KeychainKey("alice", service, "Name of " + service, "", std::move(acl));
    }

    // Puts an item for `key` in place that trusts `apps` (nothing: its access
    // admits every application), recorded in `version`.
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

    // The applications the item of `key` trusts, as names of the test's files.
    std::optional<std::set<std::string>> trustOf(const KeychainKey& key) const {
        const auto item = proxy_->item(key.account(), key.service());
        if (!item || !item->trustedApplications) {
            return std::nullopt;
        }
        std::set<std::string> names;
        for (const Data& blob : *item->trustedApplications) {
            names.insert(TrustedApplicationIdentity::fromBlob(blob)->path().substr(folder_.path().string().size() + 1));
        }
        return names;
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
        const auto calls = proxy_->calls();
        return std::any_of(calls.begin(), calls.end(), [&](const auto& call) { return call.service == key.service(); });
    }

    testsupport::TemporaryFolder folder_;
    std::shared_ptr<orvane::InMemoryKeychainProxy> proxy_ = std::make_shared<orvane::InMemoryKeychainProxy>();
    orvane::Keychain keychain_{proxy_};

    const KeychainKey key_ = makeKey("com.example.vault", {"vault", "helper"});
    const KeychainKey older_ = makeKey("com.example.legacy", {"vault", "legacy"});
    const std::set<std::string> full_{"vault", "helper"};
    const Data secret_{"s3cret"};
    const Data oldSecret_{"old s3cret"};
    const Data replacement_{"replacement"};
    const KeychainFetchOptions replacing_{{Option::replacingWithData, replacement_}};
    const std::vector<Operation> repaired_{Operation::deleteItem, Operation::addItem};
    const std::vector<Operation> added_{Operation::addItem};
};

TEST_F(KeychainTests, storeWritesTheKeysItemAndRefusesAnExistingOneWhichReplaceOverwrites) {
    keychain_.store(key_, secret_);
    const auto item = proxy_->item(key_.account(), key_.service());
    EXPECT_EQ(item->label, key_.name());
    EXPECT_EQ(item->accessDescriptor, key_.account());
    EXPECT_EQ(trustOf(key_), full_);
    EXPECT_EQ(thrownBy<NSError>([&] { keychain_.store(key_, replacement_); }),
              orvane::secKeychainError::savingKeyData(orvane::errSecDuplicateItem, key_.account(), key_.service()));

    // Its trust matches: the bytes come back with nothing written, whatever the options.
    seed(older_, std::vector<std::string>{"vault"}, oldSecret_);
    proxy_->clearCalls();
    orvane::KeychainType& store = keychain_;
    EXPECT_EQ(store.fetch(key_), secret_);
    EXPECT_EQ(keychain_.fetch(key_, {{Option::migratingFrom, orvane::toObject(older_)},
                                     {Option::replacingWithData, replacement_},
                                     {Option::bypassingACLChecks, false}}),
              secret_);
    EXPECT_TRUE(writes().empty());
    EXPECT_FALSE(touched(older_));

    keychain_.replace(key_, replacement_);
    EXPECT_EQ(bytesOf(key_), replacement_);
    keychain_.remove(key_);
    keychain_.remove(key_);  // removing a missing item succeeds
    keychain_.replace(key_, secret_);
    EXPECT_EQ(bytesOf(key_), secret_);
    // Not atomic: an add refused after the delete leaves no item.
    proxy_->failNext(Operation::addItem, injected);
    EXPECT_EQ(thrownBy<NSError>([&] { keychain_.replace(key_, replacement_); }), injected);
    EXPECT_FALSE(bytesOf(key_));
}

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
    EXPECT_EQ(keychain_.fetch(linked, replacing_), secret_);
    EXPECT_TRUE(writes().empty());
}

TEST_F(KeychainTests, recordsOfTheEarlierVersionStillMatch) {
    seed(key_, std::vector<std::string>{"vault", "helper"}, secret_, 1);
    seed(older_, std::vector<std::string>{"vault", "intruder"}, oldSecret_, 1);
    EXPECT_EQ(keychain_.fetch(key_), secret_);
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(older_); }), Case::invalidACL);
    EXPECT_TRUE(writes().empty());
}

TEST_F(KeychainTests, incompleteTrustIsRepairedWithTheKeysFullList) {
    // A part of the key's list, none at all, or (access that admits every application) none named.
    for (const Apps& trust : {Apps{{"vault"}}, Apps{std::vector<std::string>{}}, Apps{}}) {
        seed(key_, trust, secret_);
        proxy_->clearCalls();
        EXPECT_EQ(keychain_.fetch(key_, replacing_), secret_);  // the item's own bytes are kept
        EXPECT_EQ(writes(), repaired_);
        const auto item = proxy_->item(key_.account(), key_.service());
        EXPECT_EQ(item->data, secret_);
        EXPECT_EQ(item->label, key_.name());
        EXPECT_EQ(trustOf(key_), full_);
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
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_); }), Case::invalidACL);
    // A replacement of another type is no replacement.
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_, {{Option::replacingWithData, "replacement"}}); }),
              Case::invalidACL);
    EXPECT_TRUE(writes().empty());

    EXPECT_EQ(keychain_.fetch(key_, replacing_), replacement_);
    EXPECT_EQ(writes(), repaired_);
    EXPECT_EQ(bytesOf(key_), replacement_);
    EXPECT_EQ(trustOf(key_), full_);

    // A key that trusts no application finds any trusted application foreign.
    const KeychainKey closed = makeKey("closed", {});
    seed(closed, std::vector<std::string>{"vault"}, secret_);
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(closed); }), Case::invalidACL);
}

TEST_F(KeychainTests, bypassingReadsAnyPresentItemWithoutCheckingButOnlyWhenTrue) {
    seed(key_, std::vector<std::string>{"intruder"}, secret_);
    EXPECT_EQ(keychain_.fetch(key_, {{Option::bypassingACLChecks, true}, {Option::replacingWithData, replacement_}}),
              secret_);
    for (const auto& call : proxy_->calls()) {
        EXPECT_TRUE(call.operation == Operation::fetchItem || call.operation == Operation::fetchData);
    }
    for (const orvane::Object& notTrue : {orvane::Object(false), orvane::Object("true"), orvane::Object(1)}) {
        EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_, {{Option::bypassingACLChecks, notTrue}}); }),
                  Case::invalidACL);
    }
}

TEST_F(KeychainTests, aMissingItemFailsOrTakesTheReplacementWithoutADelete) {
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_); }), Case::dataNotFound);
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(keychain_.fetch(key_, replacing_), replacement_);
    EXPECT_EQ(writes(), added_);
    EXPECT_EQ(trustOf(key_), full_);
}

TEST_F(KeychainTests, migrationCopiesFromAnOlderItemAndLeavesIt) {
    // Trusting all or part of its key's list; checked or not. A missing older item leaves the replacement.
    const struct {
        Apps olderTrust;
        Option migration;
        Data expected;
    } rows[] = {{Apps{{"legacy", "vault"}}, Option::migratingFrom, oldSecret_},
                {Apps{{"legacy"}}, Option::migratingFrom, oldSecret_},
                {Apps{{"intruder"}}, Option::migratingInsecurelyFrom, oldSecret_},
                {Apps{}, Option::migratingFrom, replacement_},
                {Apps{}, Option::migratingInsecurelyFrom, replacement_}};
    for (const auto& row : rows) {
        keychain_.remove(older_);
        if (row.olderTrust) {
            seed(older_, row.olderTrust, oldSecret_);
        } else {
            EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_, {{row.migration, orvane::toObject(older_)}}); }),
                      Case::dataNotFound);
        }
        proxy_->clearCalls();
        const KeychainFetchOptions options{{row.migration, orvane::toObject(older_)},
                                           {Option::replacingWithData, replacement_}};
        EXPECT_EQ(keychain_.fetch(key_, options), row.expected);
        EXPECT_EQ(writes(), added_);
        EXPECT_EQ(proxy_->item(key_.account(), key_.service())->label, key_.name());
        EXPECT_EQ(trustOf(key_), full_);
        if (row.olderTrust) {
            EXPECT_EQ(proxy_->item(older_.account(), older_.service())->label, "old label");
            EXPECT_EQ(trustOf(older_), std::set<std::string>(row.olderTrust->begin(), row.olderTrust->end()));
        }
        // Once migrated, the new item is found directly.
        proxy_->clearCalls();
        EXPECT_EQ(keychain_.fetch(key_, options), row.expected);
        EXPECT_FALSE(touched(older_));
        keychain_.remove(key_);
    }
}

TEST_F(KeychainTests, aForeignProtectedOlderItemIsRefusedWhenAnyMigratingFromEntryAsksForTheCheck) {
    const KeychainKey other = makeKey("com.example.other", {"legacy"});
    seed(older_, std::vector<std::string>{"intruder"}, oldSecret_);
    seed(other, std::vector<std::string>{"legacy"}, secret_);
    // Both are keys: migratingFrom's is read, with the check on, and the replacement is not consulted.
    const KeychainFetchOptions both{{Option::migratingFrom, orvane::toObject(older_)},
                                    {Option::migratingInsecurelyFrom, orvane::toObject(other)},
                                    {Option::replacingWithData, replacement_}};
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_, both); }), Case::invalidACL);
    EXPECT_FALSE(touched(other));
    // A value that is not a key names nothing to migrate from, but still turns the check on.
    const KeychainFetchOptions options{{Option::migratingFrom, "not a key"},
                                       {Option::migratingInsecurelyFrom, orvane::toObject(older_)}};
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_, options); }), Case::invalidACL);
    EXPECT_EQ(fetchFailure([&] { keychain_.fetch(key_, {{Option::migratingFrom, "not a key"}}); }),
              Case::dataNotFound);
    EXPECT_TRUE(writes().empty());
}

// An adaptor error is no fetch error: a failed read ends the fetch as it is,
// before any repair or replacement, whatever its type. Every delete or add of
// a repair, replacement or migration that fails ends the fetch with its error;
// a failed add after the delete leaves no item.
TEST_F(KeychainTests, aFailedReadOrWriteEndsTheFetchWithItsError) {
    const std::pair from{Option::migratingFrom, orvane::toObject(older_)};
    const std::pair replacing{Option::replacingWithData, orvane::Object(replacement_)};
    const struct {
        Apps keyTrust;  // nothing: no item
        Apps olderTrust;
        KeychainFetchOptions options;
        Operation failing;
    } rows[] = {
        {Apps{{"intruder"}}, {}, {replacing}, Operation::trustedApplicationsDataOfPaths},
        {Apps{{"vault"}}, {}, {}, Operation::deleteItem},         // repair
        {Apps{{"vault"}}, {}, {}, Operation::addItem},            // repair
        {Apps{{"intruder"}}, {}, {replacing}, Operation::deleteItem},  // replacing a foreign item
        {Apps{{"intruder"}}, {}, {replacing}, Operation::addItem},
        {{}, {}, {replacing}, Operation::addItem},  // replacing a missing item
        // The add's error is no fetch error, so the replacement is not consulted.
        {{}, Apps{{"vault", "legacy"}}, {from, replacing}, Operation::addItem},
        {{}, Apps{{"legacy"}}, {from}, Operation::addItem},  // migrating an incomplete item
        {{}, {}, {from, replacing}, Operation::addItem},     // the replacement after a missing older item
    };
    for (const auto& row : rows) {
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
        const bool kept = row.keyTrust && row.failing != Operation::addItem;
        EXPECT_EQ(bytesOf(key_), kept ? std::optional(secret_) : std::nullopt);
        EXPECT_EQ(bytesOf(older_), row.olderTrust ? std::optional(oldSecret_) : std::nullopt);
    }
    seed(key_, Apps{{"intruder"}}, secret_);
    proxy_->clearCalls();
    proxy_->failNext(Operation::fetchData, std::runtime_error("adaptor trouble"));
    EXPECT_STREQ(thrownBy<std::runtime_error>([&] { keychain_.fetch(key_, replacing_); })->what(),
                 "adaptor trouble");
    EXPECT_TRUE(writes().empty());
}

// The bytes an incompleteACL carries are a secret: they never show in its
// text, nor in its bridged form.
TEST(KeychainFetchErrorTests, incompleteACLNeverShowsTheBytesItCarries) {
    const KeychainFetchError error = KeychainFetchError::incompleteACL(Data(std::string("\0\xff hunter2", 10)));
    EXPECT_EQ(std::string(error.what()).find("hunter2"), std::string::npos);
    EXPECT_EQ(error.localizedDescription().find("hunter2"), std::string::npos);
    const NSError bridged = error.toNSError();
    EXPECT_EQ(bridged.domain(), "TarvelOrvane.KeychainFetchError");
    EXPECT_EQ(bridged.code(), 0);
    EXPECT_TRUE(bridged.userInfo().empty());
}

}  // namespace

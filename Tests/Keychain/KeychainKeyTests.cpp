#include "Keychain/KeychainKey.hpp"

#include "Keychain/KeychainFetchOptions.hpp"
#include "Keychain/KeychainFetchOptionsKey.hpp"
#include "Keychain/KeychainTrustedApp.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

namespace {

using orvane::Data;
using orvane::KeychainFetchOptions;
using orvane::KeychainFetchOptionsKey;
using orvane::KeychainKey;
using orvane::KeychainTrustedApp;

KeychainKey makeKey(std::vector<std::string> paths = {"/opt/a", "/opt/b"}) {
    std::vector<KeychainTrustedApp> acl;
    for (auto& path : paths) {
        acl.emplace_back(std::move(path));
    }
    return KeychainKey("alice", "com.example.vault", "Vault", "Vault access", std::move(acl));
}

TEST(KeychainKeyTests, keepsEveryFieldAsGiven) {
    const KeychainKey key = makeKey({"/opt/b", "relative/../a", "/opt/b"});
    EXPECT_EQ(key.account(), "alice");
    EXPECT_EQ(key.service(), "com.example.vault");
    EXPECT_EQ(key.name(), "Vault");
    EXPECT_EQ(key.descriptor(), "Vault access");
    // Paths are neither normalised nor deduplicated here; the adaptor resolves them.
    EXPECT_EQ(key.aclPaths(), (std::vector<std::string>{"/opt/b", "relative/../a", "/opt/b"}));
    EXPECT_EQ(key.acl()[1].path(), "relative/../a");
}

TEST(KeychainKeyTests, anEmptyAclIsAValidKey) {
    const KeychainKey key("alice", "svc", "", "", {});
    EXPECT_TRUE(key.acl().empty());
    EXPECT_TRUE(key.aclPaths().empty());
}

TEST(KeychainKeyTests, equalityAndHashCoverEveryField) {
    const KeychainKey key = makeKey();
    EXPECT_EQ(key, makeKey());
    EXPECT_EQ(std::hash<KeychainKey>{}(key), std::hash<KeychainKey>{}(makeKey()));

    const std::vector<KeychainKey> others{
        KeychainKey("bob", "com.example.vault", "Vault", "Vault access", key.acl()),
        KeychainKey("alice", "other", "Vault", "Vault access", key.acl()),
        KeychainKey("alice", "com.example.vault", "Other", "Vault access", key.acl()),
        KeychainKey("alice", "com.example.vault", "Vault", "", key.acl()),
        makeKey({"/opt/a"}),
        makeKey({"/opt/b", "/opt/a"}),
    };
    std::unordered_set<KeychainKey> distinct{key};
    for (const KeychainKey& other : others) {
        EXPECT_NE(key, other);
        distinct.insert(other);
    }
    EXPECT_EQ(distinct.size(), others.size() + 1);
    EXPECT_TRUE(distinct.contains(makeKey()));
}

TEST(KeychainKeyTests, trustedAppsCompareByPathText) {
    EXPECT_EQ(KeychainTrustedApp("/usr/bin/vault"), KeychainTrustedApp("/usr/bin/vault"));
    EXPECT_NE(KeychainTrustedApp("/usr/bin/vault"), KeychainTrustedApp("/usr/bin/../bin/vault"));
    EXPECT_EQ(std::hash<KeychainTrustedApp>{}(KeychainTrustedApp("/x")),
              std::hash<KeychainTrustedApp>{}(KeychainTrustedApp("/x")));
}

TEST(KeychainFetchOptionsKeyTests, casesAreEqualOnlyToThemselvesAndKeyADictionary) {
    const std::vector<KeychainFetchOptionsKey> cases{
        KeychainFetchOptionsKey::migratingFrom, KeychainFetchOptionsKey::migratingInsecurelyFrom,
        KeychainFetchOptionsKey::replacingWithData, KeychainFetchOptionsKey::bypassingACLChecks};
    std::unordered_set<KeychainFetchOptionsKey> set;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        for (std::size_t j = 0; j < cases.size(); ++j) {
            EXPECT_EQ(cases[i] == cases[j], i == j);
        }
        EXPECT_EQ(std::hash<KeychainFetchOptionsKey>{}(cases[i]),
                  std::hash<KeychainFetchOptionsKey>{}(cases[i]));
        set.insert(cases[i]);
        set.insert(cases[i]);
    }
    EXPECT_EQ(set.size(), cases.size());
}

TEST(KeychainFetchOptionsTests, valuesConvertOnlyToTheirOwnType) {
    const KeychainKey older = makeKey({"/opt/old"});
    const KeychainFetchOptions options{
        {KeychainFetchOptionsKey::migratingFrom, orvane::toObject(older)},
        {KeychainFetchOptionsKey::replacingWithData, Data("fresh")},
        {KeychainFetchOptionsKey::bypassingACLChecks, "true"},
    };
    EXPECT_EQ(options.at(KeychainFetchOptionsKey::migratingFrom).as<KeychainKey>(), older);
    EXPECT_FALSE(options.at(KeychainFetchOptionsKey::migratingFrom).as<Data>());
    EXPECT_EQ(options.at(KeychainFetchOptionsKey::replacingWithData).as<Data>(), Data("fresh"));
    EXPECT_FALSE(options.at(KeychainFetchOptionsKey::replacingWithData).as<KeychainKey>());
    // A string is not a Boolean, and neither is the integer 1.
    EXPECT_FALSE(options.at(KeychainFetchOptionsKey::bypassingACLChecks).as<bool>());
    EXPECT_FALSE(orvane::Object(1).as<bool>());
}

}  // namespace

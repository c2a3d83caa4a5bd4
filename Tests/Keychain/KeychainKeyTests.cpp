#include "Keychain/KeychainKey.hpp"

#include "Keychain/KeychainFetchOptions.hpp"
#include "Keychain/KeychainFetchOptionsKey.hpp"
#include "Keychain/KeychainTrustedApp.hpp"

#include <gtest/gtest.h>

#include <string>
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

#include "Keychain/KeychainFetchError.hpp"

#include "Platform/Foundation/NSError.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using orvane::Data;
using orvane::KeychainFetchError;
using Case = orvane::KeychainFetchError::Case;

TEST(KeychainFetchErrorTests, bridgesWithTheQualifiedNameAndDeclarationOrder) {
    const struct {
        KeychainFetchError error;
        Case errorCase;
        std::int64_t code;
    } rows[] = {
        {KeychainFetchError::incompleteACL(Data("secret")), Case::incompleteACL, 0},
        {KeychainFetchError::invalidACL(), Case::invalidACL, 1},
        {KeychainFetchError::dataNotFound(), Case::dataNotFound, 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.code);
        EXPECT_EQ(row.error.errorCase(), row.errorCase);
        const orvane::NSError bridged = row.error.toNSError();
        EXPECT_EQ(bridged.domain(), "TarvelOrvane.KeychainFetchError");
        EXPECT_EQ(bridged.code(), row.code);
        EXPECT_TRUE(bridged.userInfo().empty());
    }
}

TEST(KeychainFetchErrorTests, incompleteACLCarriesItsBytesUnchanged) {
    const Data binary(std::string("\0\xff\x01 secret", 10));
    EXPECT_EQ(KeychainFetchError::incompleteACL(binary).data(), binary);
    EXPECT_EQ(KeychainFetchError::incompleteACL(Data()).data(), Data());
    EXPECT_FALSE(KeychainFetchError::invalidACL().data());
    EXPECT_FALSE(KeychainFetchError::dataNotFound().data());
    EXPECT_NE(KeychainFetchError::incompleteACL(Data()), KeychainFetchError::incompleteACL(Data("x")));
}

TEST(KeychainFetchErrorTests, isCaughtByTypeAndNeverShowsTheSecret) {
    try {
        throw KeychainFetchError::incompleteACL(Data("hunter2"));
    } catch (const orvane::Error& error) {
        EXPECT_EQ(std::string(error.what()).find("hunter2"), std::string::npos);
        EXPECT_EQ(error.localizedDescription().find("hunter2"), std::string::npos);
        const auto* fetchError = dynamic_cast<const KeychainFetchError*>(&error);
        ASSERT_NE(fetchError, nullptr);
        EXPECT_EQ(fetchError->data(), Data("hunter2"));
    }
}

}  // namespace

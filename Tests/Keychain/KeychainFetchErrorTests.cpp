#include "Keychain/KeychainFetchError.hpp"

#include "Platform/Foundation/NSError.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using orvane::Data;
using orvane::KeychainFetchError;

// The bytes an incompleteACL carries are a secret: they never show in its
// text, nor in its bridged form.
TEST(KeychainFetchErrorTests, incompleteACLNeverShowsTheBytesItCarries) {
    const KeychainFetchError error = KeychainFetchError::incompleteACL(Data(std::string("\0\xff hunter2", 10)));
    EXPECT_EQ(error.data(), Data(std::string("\0\xff hunter2", 10)));
    EXPECT_EQ(std::string(error.what()).find("hunter2"), std::string::npos);
    EXPECT_EQ(error.localizedDescription().find("hunter2"), std::string::npos);
    const orvane::NSError bridged = error.toNSError();
    EXPECT_EQ(bridged.domain(), "TarvelOrvane.KeychainFetchError");
    EXPECT_EQ(bridged.code(), 0);
    EXPECT_TRUE(bridged.userInfo().empty());
}

}  // namespace

#include "Keychain/SecKeychainError.hpp"

#include "Keychain/SecKeychainProxyType.hpp"
#include "Platform/Foundation/ErrorKeys.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

namespace secKeychainError = orvane::secKeychainError;

std::string message(const orvane::NSError& error) {
    EXPECT_EQ(error.domain(), "Seckeychain");
    EXPECT_EQ(error.code(), -1);
    const orvane::ObjectDictionary& userInfo = error.userInfoReference();
    EXPECT_EQ(userInfo.size(), 1U);
    const auto entry = userInfo.find(orvane::NSDebugDescriptionErrorKey);
    return entry == userInfo.end() ? std::string() : entry->second.as<std::string>().value_or("");
}

TEST(SecKeychainErrorTests, everyFailureHasItsExactMessage) {
    EXPECT_EQ(message(secKeychainError::retrievingKeyData(-25291, "alice", "com.example")),
              "Error '-25291' retrieving key data for account: alice, service: com.example");
    EXPECT_EQ(message(secKeychainError::retrievingKeyData(0, "", "")),
              "Error '0' retrieving key data for account: , service: ");
    // The delete message repeats the status, leaves the service out and keeps its spelling.
    EXPECT_EQ(message(secKeychainError::removingKey(-25293, "alice")),
              "Error '-25293' removing key for acount: alice to Keychain: -25293");
    EXPECT_EQ(message(secKeychainError::savingKeyData(orvane::errSecDuplicateItem, "alice", "svc")),
              "Error '-25299' saving key data for account: alice, service: svc");
    EXPECT_EQ(message(secKeychainError::creatingTrustedApplication(-36, "/no/such app")),
              "Error '-36' creating SecTrustedApplication from for app with path '/no/such app'");
    EXPECT_EQ(message(secKeychainError::retrievingAccess(-25304)),
              "Error '-25304' retrieving SecAccess for item");
    EXPECT_EQ(message(secKeychainError::retrievingACL(0)), "Error '0' retrieving SecACL for item");
    EXPECT_EQ(message(secKeychainError::retrievingTrustedApplicationFromACL(-50)),
              "Error '-50' retrieving SecTrustedApplication from SecACL");
    EXPECT_EQ(message(secKeychainError::retrievingTrustedApplicationData(12)),
              "Error '12' retrieving SecTrustedApplicationData for SecTrustedApplication");
}

}  // namespace

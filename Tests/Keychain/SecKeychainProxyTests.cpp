// SecKeychainProxy without a Secret Service: what it decides before it
// reaches the bus, and how it fails when there is no bus at all.
#include "Keychain/SecKeychainProxy.hpp"

#include "Platform/ErrorKeys.hpp"
#include "Platform/NSError.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace {

using orvane::Data;
using orvane::NSError;
using orvane::SecKeychainProxy;

// SessionBusAddress: sets (or unsets) DBUS_SESSION_BUS_ADDRESS for one test.
class SessionBusAddress {
public:
    explicit SessionBusAddress(const char* address) {
        if (const char* current = std::getenv(name)) {
            saved_ = current;
        }
        if (address == nullptr) {
            ::unsetenv(name);
        } else {
            ::setenv(name, address, 1);
        }
    }
    ~SessionBusAddress() {
        if (saved_) {
            ::setenv(name, saved_->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    SessionBusAddress(const SessionBusAddress&) = delete;
    SessionBusAddress& operator=(const SessionBusAddress&) = delete;

private:
    static constexpr const char* name = "DBUS_SESSION_BUS_ADDRESS";
    std::optional<std::string> saved_;
};

// The message of the Seckeychain error that `run` throws; fails the test when
// it throws nothing or another error.
std::string messageThrownBy(const std::function<void()>& run) {
    try {
        run();
    } catch (const NSError& error) {
        EXPECT_EQ(error.domain(), "Seckeychain");
        EXPECT_EQ(error.code(), -1);
        return error.userInfoReference()
            .at(std::string(orvane::NSDebugDescriptionErrorKey))
            .as<std::string>()
            .value_or("");
    }
    ADD_FAILURE() << "no Seckeychain error was thrown";
    return "";
}

TEST(SecKeychainProxyTest, everyOperationFailsAtOnceWithoutASessionBus) {
    for (const char* address : {static_cast<const char*>(nullptr), "", "autolaunch:"}) {
        SCOPED_TRACE(address == nullptr ? "unset" : address);
        const SessionBusAddress bus(address);
        SecKeychainProxy proxy;
        const auto started = std::chrono::steady_clock::now();

        EXPECT_EQ(messageThrownBy([&] { proxy.fetchItem("alice", "vault"); }),
                  "Error '-25291' retrieving key data for account: alice, service: vault");
        EXPECT_EQ(messageThrownBy([&] { proxy.fetchData("alice", "vault"); }),
                  "Error '-25291' retrieving key data for account: alice, service: vault");
        EXPECT_EQ(messageThrownBy([&] { proxy.deleteItem("alice", "vault"); }),
                  "Error '-25291' removing key for acount: alice to Keychain: -25291");
        EXPECT_EQ(messageThrownBy([&] { proxy.addItem("alice", "vault", "Vault", "", {}, Data("secret")); }),
                  "Error '-25291' saving key data for account: alice, service: vault");

        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    }
}

TEST(SecKeychainProxyTest, addItemRefusesAPathWithoutAnApplicationBeforeReachingTheService) {
    const SessionBusAddress bus(nullptr);
    SecKeychainProxy proxy;

    EXPECT_EQ(
        messageThrownBy([&] {
            proxy.addItem("alice", "vault", "Vault", "", {"/bin/sh", "/no/such/application"}, Data("secret"));
        }),
        "Error '-36' creating SecTrustedApplication from for app with path '/no/such/application'");
}

TEST(SecKeychainProxyTest, textsThatDBusCannotCarryAreRefusedAsParameters) {
    const SessionBusAddress bus(nullptr);
    SecKeychainProxy proxy;
    const std::string notUTF8 = "caf\xe9";
    const std::string withNul("al\0ice", 6);

    EXPECT_EQ(messageThrownBy([&] { proxy.fetchData(notUTF8, "vault"); }),
              "Error '-50' retrieving key data for account: " + notUTF8 + ", service: vault");
    EXPECT_EQ(messageThrownBy([&] { proxy.fetchItem("alice", withNul); }),
              "Error '-50' retrieving key data for account: alice, service: " + withNul);
    EXPECT_EQ(messageThrownBy([&] { proxy.addItem("alice", "vault", notUTF8, "", {}, Data("secret")); }),
              "Error '-50' saving key data for account: alice, service: vault");
}

TEST(SecKeychainProxyTest, trustedApplicationsOfAHandleFromAnotherAdaptorAreRefused) {
    SecKeychainProxy proxy;
    const auto foreign = orvane::SecKeychainItem::holding(std::make_shared<const std::string>("elsewhere"));

    EXPECT_EQ(messageThrownBy([&] { proxy.trustedApplicationsData(foreign); }),
              "Error '-25304' retrieving SecAccess for item");
}

}  // namespace

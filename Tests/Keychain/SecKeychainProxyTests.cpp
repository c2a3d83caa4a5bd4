// SecKeychainProxy without a Secret Service: what it decides before it
// reaches the bus, and how it fails when there is no bus at all.
#include "Keychain/SecKeychainProxy.hpp"
#include "Keychain/SecretServiceItem.hpp"

#include "SeckeychainMessage.hpp"
#include "Support/ScopedEnvironment.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using orvane::Data;
using orvane::SecKeychainProxy;

// Without a session bus every operation fails at once, but arguments the
// service could not take are refused before that. (Which bus addresses count
// as none is BusConnection's to test.)
TEST(SecKeychainProxyTest, withoutABusEveryOperationFailsAtOnceAfterItsArgumentsAreChecked) {
    const testsupport::ScopedEnvironment bus(
        {{"DBUS_SESSION_BUS_ADDRESS", "autolaunch:"}, {"XDG_RUNTIME_DIR", std::nullopt}});
    SecKeychainProxy proxy;
    const std::string notUTF8 = "caf\xe9";
    const std::string withNul("al\0ice", 6);
    const auto foreign = orvane::SecKeychainItem::holding(std::make_shared<const std::string>("elsewhere"));
    const struct {
        std::function<void()> call;
        std::string message;
    } rows[] = {
        {[&] { proxy.fetchData("alice", "vault"); },
         "Error '-25291' retrieving key data for account: alice, service: vault"},
        // The delete message repeats the status, leaves the service out and keeps its spelling.
        {[&] { proxy.deleteItem("alice", "vault"); },
         "Error '-25291' removing key for acount: alice to Keychain: -25291"},
        {[&] { proxy.addItem("alice", "vault", "Vault", "", {}, Data("secret")); },
         "Error '-25291' saving key data for account: alice, service: vault"},
        {[&] { proxy.addItem("alice", "vault", "Vault", "", {"/bin/sh", "/no/such/app"}, Data("secret")); },
         "Error '-36' creating SecTrustedApplication from for app with path '/no/such/app'"},
        {[&] { proxy.fetchData(notUTF8, "vault"); },
         "Error '-50' retrieving key data for account: " + notUTF8 + ", service: vault"},
        {[&] { proxy.fetchItem("alice", withNul); },
         "Error '-50' retrieving key data for account: alice, service: " + withNul},
        {[&] { proxy.addItem("alice", "vault", notUTF8, "", {}, Data("secret")); },
         "Error '-50' saving key data for account: alice, service: vault"},
        {[&] { proxy.trustedApplicationsData(foreign); }, "Error '-25304' retrieving SecAccess for item"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(messageThrownBy(row.call), row.message);
    }
}

// Items changed within one second carry equal times: the most recently
// created wins, then the highest path, a longer one counting as higher.
TEST(SecKeychainProxyTest, itemsChangedInTheSameSecondResolveByCreationThenPath) {
    using orvane::secretservice::ItemProperties;
    const std::vector<std::pair<std::vector<ItemProperties>, std::string>> cases{
        {{{"/c/5", false, {}, 100, 200}, {"/c/4", false, {}, 101, 200}, {"/c/3", false, {}, 99, 199}},
         "/c/4"},
        {{{"/c/9", false, {}, 100, 200}, {"/c/10", false, {}, 100, 200}, {"/c/8", false, {}, 100, 200}},
         "/c/10"},
        {{{"/c/2", false, {}, 100, 200}, {"/c/3", false, {}, 100, 200}}, "/c/3"},
    };
    for (const auto& [items, newest] : cases) {
        EXPECT_EQ(orvane::secretservice::newestOf(items).path, newest);
    }
}

}  // namespace

#include "Keychain/InMemoryKeychainProxy.hpp"

#include "Keychain/TrustedApplicationIdentity.hpp"
#include "Support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using orvane::Data;
using orvane::InMemoryKeychainProxy;
using Operation = orvane::InMemoryKeychainProxy::Operation;
namespace fs = std::filesystem;
namespace secKeychainError = orvane::secKeychainError;

class InMemoryKeychainProxyTests : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"vault", "helper"}) {
            std::ofstream(folder_.path() / name) << name;
        }
        fs::create_symlink(folder_.path() / "vault", folder_.path() / "vault-link");
    }

    std::string app(const char* name) const { return (folder_.path() / name).string(); }

    testsupport::TemporaryFolder folder_;
    InMemoryKeychainProxy proxy_;
};

TEST_F(InMemoryKeychainProxyTests, missingItemsAreNothingNotErrors) {
    EXPECT_FALSE(proxy_.fetchItem("alice", "svc"));
    EXPECT_FALSE(proxy_.fetchData("alice", "svc"));
    EXPECT_NO_THROW(proxy_.deleteItem("alice", "svc"));
    EXPECT_NO_THROW(proxy_.deleteItem("alice", "svc"));
}

TEST_F(InMemoryKeychainProxyTests, addedItemsAreFoundByAccountAndServiceOnly) {
    const Data binary(std::string("\0a\0b", 4));
    proxy_.addItem("alice", "svc", "Label", "", {}, binary);
    proxy_.addItem("alice", "other", "Label", "Desc", {}, Data());
    EXPECT_EQ(proxy_.fetchData("alice", "svc"), binary);
    EXPECT_EQ(proxy_.fetchData("alice", "other"), Data());
    EXPECT_FALSE(proxy_.fetchData("bob", "svc"));

    const auto item = proxy_.item("alice", "svc");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->label, "Label");
    EXPECT_EQ(item->accessDescriptor, "alice");  // an empty descriptor names the access after the account
    EXPECT_EQ(proxy_.item("alice", "other")->accessDescriptor, "Desc");

    proxy_.deleteItem("alice", "svc");
    EXPECT_FALSE(proxy_.fetchItem("alice", "svc"));
    EXPECT_EQ(proxy_.itemCount(), 1U);
}

TEST_F(InMemoryKeychainProxyTests, addNeverReplacesAnExistingItem) {
    proxy_.addItem("alice", "svc", "First", "", {}, Data("one"));
    try {
        proxy_.addItem("alice", "svc", "Second", "", {}, Data("two"));
        FAIL() << "a duplicate add succeeded";
    } catch (const orvane::NSError& error) {
        EXPECT_EQ(error, secKeychainError::savingKeyData(orvane::errSecDuplicateItem, "alice", "svc"));
    }
    EXPECT_EQ(proxy_.fetchData("alice", "svc"), Data("one"));
    EXPECT_EQ(proxy_.item("alice", "svc")->label, "First");
}

TEST_F(InMemoryKeychainProxyTests, aBadPathFailsTheAddBeforeAnythingIsWritten) {
    const std::string missing = app("missing");
    try {
        proxy_.addItem("alice", "svc", "", "", {app("vault"), missing}, Data("one"));
        FAIL() << "an add with a missing application succeeded";
    } catch (const orvane::NSError& error) {
        EXPECT_EQ(error, secKeychainError::creatingTrustedApplication(orvane::errSecIO, missing));
    }
    EXPECT_EQ(proxy_.itemCount(), 0U);
}

TEST_F(InMemoryKeychainProxyTests, itemTrustReadsBackAsThePathsWouldMakeIt) {
    proxy_.addItem("alice", "svc", "", "", {app("vault-link"), app("helper"), app("vault")}, Data("one"));
    const auto handle = proxy_.fetchItem("alice", "svc");
    ASSERT_TRUE(handle);
    const auto fromItem = proxy_.trustedApplicationsData(*handle);
    EXPECT_EQ(fromItem, proxy_.trustedApplicationsData({app("vault-link"), app("helper"), app("vault")}));
    // The symbolic link and its target are one application.
    EXPECT_EQ(fromItem[0], fromItem[2]);
    EXPECT_EQ(fromItem[0], orvane::TrustedApplicationIdentity::forPath(app("vault")).blob());
}

TEST_F(InMemoryKeychainProxyTests, aHandleFromAnotherAdaptorIsRefused) {
    const auto foreign = orvane::SecKeychainItem::holding(std::make_shared<const int>(7));
    EXPECT_EQ(*foreign.stateAs<int>(), 7);
    EXPECT_EQ(foreign.stateAs<long>(), nullptr);
    EXPECT_THROW(proxy_.trustedApplicationsData(foreign), orvane::NSError);
}

TEST_F(InMemoryKeychainProxyTests, accessAdmittingEveryApplicationTrustsNone) {
    proxy_.insertItem({"alice", "svc", "Label", "alice", std::nullopt, Data("one")});
    EXPECT_TRUE(proxy_.trustedApplicationsData(*proxy_.fetchItem("alice", "svc")).empty());
}

TEST_F(InMemoryKeychainProxyTests, aHandleOutlivingItsItemNoLongerReadsTrust) {
    proxy_.addItem("alice", "svc", "", "", {}, Data("one"));
    const auto handle = proxy_.fetchItem("alice", "svc");
    proxy_.deleteItem("alice", "svc");
    proxy_.addItem("alice", "svc", "", "", {}, Data("two"));
    try {
        proxy_.trustedApplicationsData(*handle);
        FAIL() << "a stale handle read the new item's trust";
    } catch (const orvane::NSError& error) {
        EXPECT_EQ(error, secKeychainError::retrievingAccess(orvane::errSecInvalidItemRef));
    }
}

TEST_F(InMemoryKeychainProxyTests, injectedFailuresFireOnceInOrderAndChangeNothing) {
    proxy_.addItem("alice", "svc", "", "", {}, Data("one"));
    proxy_.failNext(Operation::deleteItem, std::runtime_error("first"));
    proxy_.failNext(Operation::deleteItem, secKeychainError::removingKey(-25293, "alice"));
    EXPECT_THROW(
        {
            try {
                proxy_.deleteItem("alice", "svc");
            } catch (const std::runtime_error& error) {
                EXPECT_STREQ(error.what(), "first");
                throw;
            }
        },
        std::runtime_error);
    EXPECT_THROW(proxy_.deleteItem("alice", "svc"), orvane::NSError);
    EXPECT_EQ(proxy_.fetchData("alice", "svc"), Data("one"));
    EXPECT_EQ(proxy_.pendingFailureCount(), 0U);
    proxy_.deleteItem("alice", "svc");
    EXPECT_FALSE(proxy_.fetchData("alice", "svc"));
}

TEST_F(InMemoryKeychainProxyTests, failuresForOneAccountWaitForIt) {
    proxy_.addItem("alice", "svc", "", "", {}, Data("one"));
    proxy_.addItem("bob", "svc", "", "", {}, Data("two"));
    proxy_.failNext(Operation::trustedApplicationsDataOfItem, std::runtime_error("bob"), "bob");
    proxy_.failNext(Operation::trustedApplicationsDataOfPaths, std::runtime_error("paths"), "alice");

    EXPECT_NO_THROW(proxy_.trustedApplicationsData(*proxy_.fetchItem("alice", "svc")));
    EXPECT_THROW(proxy_.trustedApplicationsData(*proxy_.fetchItem("bob", "svc")), std::runtime_error);
    // The paths operation has no account, so a failure kept for one never fires.
    EXPECT_NO_THROW(proxy_.trustedApplicationsData(std::vector<std::string>{}));
    EXPECT_EQ(proxy_.pendingFailureCount(), 1U);
}

TEST_F(InMemoryKeychainProxyTests, recordsEveryCallIncludingFailedOnes) {
    proxy_.failNext(Operation::addItem, std::runtime_error("refused"));
    EXPECT_THROW(proxy_.addItem("alice", "svc", "", "", {}, Data()), std::runtime_error);
    proxy_.addItem("alice", "svc", "", "", {}, Data());
    proxy_.trustedApplicationsData(*proxy_.fetchItem("alice", "svc"));
    proxy_.trustedApplicationsData(std::vector<std::string>{});
    using Call = InMemoryKeychainProxy::Call;
    EXPECT_EQ(proxy_.calls(), (std::vector<Call>{{Operation::addItem, "alice", "svc"},
                                                 {Operation::addItem, "alice", "svc"},
                                                 {Operation::fetchItem, "alice", "svc"},
                                                 {Operation::trustedApplicationsDataOfItem, "alice", "svc"},
                                                 {Operation::trustedApplicationsDataOfPaths, "", ""}}));
    proxy_.clearCalls();
    EXPECT_TRUE(proxy_.calls().empty());
}

}  // namespace

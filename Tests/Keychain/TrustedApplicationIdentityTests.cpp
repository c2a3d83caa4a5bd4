#include "Keychain/TrustedApplicationIdentity.hpp"

#include "Keychain/SecKeychainError.hpp"
#include "Keychain/SecKeychainProxyType.hpp"
#include "Platform/Foundation/ErrorKeys.hpp"
#include "Support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using orvane::Data;
using orvane::TrustedApplicationIdentity;
namespace fs = std::filesystem;

class TrustedApplicationIdentityTests : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::canonical(folder_.path());
        fs::create_directory(root_ / "apps");
        std::ofstream(root_ / "apps" / "vault") << "binary";
        std::ofstream(root_ / "apps" / "other") << "binary";
        fs::create_directory_symlink(root_ / "apps", root_ / "linked-apps");
        fs::create_symlink(root_ / "apps" / "vault", root_ / "vault-link");
    }

    std::string path(const fs::path& relative) const { return (root_ / relative).string(); }

    testsupport::TemporaryFolder folder_;
    fs::path root_;
};

TEST_F(TrustedApplicationIdentityTests, everyPathToOneFileGivesTheSameBlob) {
    const Data blob = TrustedApplicationIdentity::forPath(path("apps/vault")).blob();
    EXPECT_EQ(TrustedApplicationIdentity::forPath(path("vault-link")).blob(), blob);
    EXPECT_EQ(TrustedApplicationIdentity::forPath(path("linked-apps/vault")).blob(), blob);
    EXPECT_EQ(TrustedApplicationIdentity::forPath(path("apps/../apps/./vault")).blob(), blob);

    const fs::path previous = fs::current_path();
    fs::current_path(root_);
    const Data relative = TrustedApplicationIdentity::forPath("apps/vault").blob();
    fs::current_path(previous);
    EXPECT_EQ(relative, blob);

    EXPECT_NE(TrustedApplicationIdentity::forPath(path("apps/other")).blob(), blob);
    EXPECT_EQ(TrustedApplicationIdentity::forPath(path("vault-link")).canonicalPath(), path("apps/vault"));
}

TEST_F(TrustedApplicationIdentityTests, blobIsAVersionedRecordOfTheCanonicalPath) {
    const std::string canonical = path("apps/vault");
    const Data blob = TrustedApplicationIdentity::forPath(path("vault-link")).blob();
    ASSERT_EQ(blob.size(), 9 + canonical.size());
    EXPECT_EQ(blob.toString().substr(0, 5), std::string("OTAI\x01"));
    const std::size_t length = (std::size_t{blob[5]} << 24) | (std::size_t{blob[6]} << 16) |
                               (std::size_t{blob[7]} << 8) | std::size_t{blob[8]};
    EXPECT_EQ(length, canonical.size());
    EXPECT_EQ(blob.toString().substr(9), canonical);

    const auto decoded = TrustedApplicationIdentity::fromBlob(blob);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->canonicalPath(), canonical);
}

TEST_F(TrustedApplicationIdentityTests, malformedBlobsDecodeToNothing) {
    const std::string good = TrustedApplicationIdentity::fromCanonicalPath("/a/b").blob().toString();
    ASSERT_TRUE(TrustedApplicationIdentity::fromBlob(Data(good)));

    std::string otherVersion = good;
    otherVersion[4] = 2;
    std::string badMagic = good;
    badMagic[0] = 'X';
    std::string withNul = good;
    withNul[10] = '\0';
    for (const std::string& bytes : {std::string(), good.substr(0, 8), good.substr(0, good.size() - 1),
                                     good + "x", otherVersion, badMagic, withNul}) {
        EXPECT_FALSE(TrustedApplicationIdentity::fromBlob(Data(bytes))) << Data(bytes).base64EncodedString();
    }
}

TEST_F(TrustedApplicationIdentityTests, aPathWithoutAFileIsRefusedNamingThePath) {
    const std::string missing = path("apps/missing");
    try {
        TrustedApplicationIdentity::blobsForPaths({path("apps/vault"), missing, "/also/missing"});
        FAIL() << "a missing file was accepted";
    } catch (const orvane::NSError& error) {
        EXPECT_EQ(error, orvane::secKeychainError::creatingTrustedApplication(orvane::errSecIO, missing));
    }
    fs::create_symlink(root_ / "nowhere", root_ / "dangling");
    EXPECT_THROW(TrustedApplicationIdentity::forPath(path("dangling")), orvane::NSError);
    EXPECT_THROW(TrustedApplicationIdentity::forPath(""), orvane::NSError);

    const std::string withNul = path("apps/vault") + std::string(1, '\0') + "tail";
    try {
        TrustedApplicationIdentity::forPath(withNul);
        FAIL() << "a path with a NUL byte was accepted";
    } catch (const orvane::NSError& error) {
        EXPECT_EQ(error, orvane::secKeychainError::creatingTrustedApplication(orvane::errSecParam, withNul));
    }
}

TEST_F(TrustedApplicationIdentityTests, blobsForPathsKeepsOrderAndRepeats) {
    const Data vault = TrustedApplicationIdentity::forPath(path("apps/vault")).blob();
    const Data other = TrustedApplicationIdentity::forPath(path("apps/other")).blob();
    EXPECT_EQ(TrustedApplicationIdentity::blobsForPaths(
                  {path("apps/other"), path("vault-link"), path("apps/other")}),
              (std::vector<Data>{other, vault, other}));
    EXPECT_TRUE(TrustedApplicationIdentity::blobsForPaths({}).empty());
}

}  // namespace

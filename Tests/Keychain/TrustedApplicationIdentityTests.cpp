#include "Keychain/TrustedApplicationIdentity.hpp"

#include "Keychain/SecKeychainProxyType.hpp"
#include "Support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using orvane::Data;
using orvane::TrustedApplicationIdentity;
namespace fs = std::filesystem;

TEST(TrustedApplicationIdentityTests, pathsAreNormalizedLexically) {
    const struct {
        const char* given;
        const char* identity;
    } rows[] = {
        {"/", "/"},
        {"/opt/app", "/opt/app"},
        {"//opt///app/", "/opt/app"},
        {"/opt/./app/.", "/opt/app"},
        {"/opt/current/../app", "/opt/app"},
        {"/../..//opt/app", "/opt/app"},
        {"/opt/app/..", "/opt"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(TrustedApplicationIdentity::normalized(row.given), row.identity) << row.given;
    }
}

TEST(TrustedApplicationIdentityTests, linksAreNotFollowedAndPathsWithoutAFileAreRefused) {
    testsupport::TemporaryFolder folder;
    const fs::path root = *TrustedApplicationIdentity::normalized(folder.path().string());
    fs::create_directory(root / "app-1.0");
    std::ofstream(root / "app-1.0" / "app") << "binary";
    fs::create_directory_symlink("app-1.0", root / "current");
    const std::string viaLink = (root / "current" / "app").string();
    EXPECT_EQ(TrustedApplicationIdentity::forPath(root.string() + "//current/./app").path(), viaLink);

    fs::create_symlink(root / "nowhere", root / "dangling");
    const struct {
        std::string path;
        orvane::OSStatus status;
    } refused[] = {
        {(root / "missing").string(), orvane::errSecIO},
        {(root / "dangling").string(), orvane::errSecIO},
        {"relative/app", orvane::errSecParam},
        {"./app", orvane::errSecParam},
        {"", orvane::errSecParam},
        {viaLink + std::string(1, '\0') + "tail", orvane::errSecParam},
    };
    for (const auto& row : refused) {
        try {
            TrustedApplicationIdentity::blobsForPaths({viaLink, row.path});
            ADD_FAILURE() << "accepted " << row.path;
        } catch (const orvane::NSError& error) {
            EXPECT_EQ(error, orvane::secKeychainError::creatingTrustedApplication(row.status, row.path));
        }
    }
}

TEST(TrustedApplicationIdentityTests, blobsAreVersionedAndEarlierRecordsStillRead) {
    testsupport::TemporaryFolder folder;
    const std::string path = fs::canonical(folder.path()).string();
    const Data blob = TrustedApplicationIdentity::forPath(path).blob();
    ASSERT_LT(path.size(), 256U);
    EXPECT_EQ(blob.toString(), std::string("OTAI\x02\0\0\0", 8) + static_cast<char>(path.size()) + path);
    EXPECT_EQ(TrustedApplicationIdentity::fromBlob(blob)->path(), path);

    const std::string good = blob.toString();
    const auto changed = [&](std::size_t index, char byte) { return good.substr(0, index) + byte + good.substr(index + 1); };
    EXPECT_EQ(TrustedApplicationIdentity::currentBlob(Data(changed(4, 1))), blob);  // an earlier record
    for (const std::string& bytes : {std::string(), good.substr(0, 8), good.substr(0, good.size() - 1), good + "x",
                                     changed(4, 3), changed(0, 'X'), changed(10, '\0')}) {
        EXPECT_FALSE(TrustedApplicationIdentity::fromBlob(Data(bytes))) << Data(bytes).base64EncodedString();
        EXPECT_EQ(TrustedApplicationIdentity::currentBlob(Data(bytes)), Data(bytes));
    }
}

}  // namespace

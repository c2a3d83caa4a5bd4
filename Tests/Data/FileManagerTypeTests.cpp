#include "Data/FileManagerType.hpp"

#include "Support/StandardErrorCapture.hpp"
#include "Support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testsupport::messagesLoggedBy;
using Lines = std::vector<std::string>;

class File : public orvane::FileManagerType {
public:
    explicit File(const fs::path& path) : url(orvane::URL::fileURLWithPath(path.string())) {}
    orvane::URL fileURL() const override { return url; }
    const orvane::URL url;
};

// Claims a file is there, whatever the disk says.
class ClaimsToExist : public File {
public:
    using File::File;
    bool exists() const override { return true; }
};

class FileManagerTypeTest : public ::testing::Test {
protected:
    static Lines alreadyThere(const fs::path& path) {
        return {"Could not create file at location: " + path.string() + " because it already exists"};
    }

    testsupport::TemporaryFolder folder;
    // A name that a printf-style logger would mangle.
    fs::path odd = folder.path() / "100% %d %s %n";
};

TEST_F(FileManagerTypeTest, createMakesMissingFoldersAndAnEmptyFileLeavesAnExistingOneAndLogsFailures) {
    File file(odd / "b" / "c.txt");
    EXPECT_EQ(file.size(), std::nullopt);
    EXPECT_EQ(messagesLoggedBy([&] { EXPECT_TRUE(file.create()); }), Lines{});
    EXPECT_EQ(file.size(), 0u);
    std::ofstream(odd / "b" / "c.txt") << "contents";
    EXPECT_EQ(messagesLoggedBy([&] { EXPECT_TRUE(file.create()); }), alreadyThere(odd / "b" / "c.txt"));
    EXPECT_EQ(file.size(), 8u);
    File underAFile(odd / "b" / "c.txt" / "f.txt");  // a file where a folder should be
    EXPECT_EQ(messagesLoggedBy([&] { EXPECT_FALSE(underAFile.create()); }),
              Lines{"Could not create file at location: " + odd.string() + "/b/c.txt/f.txt"});
    // The folder exists but takes no new files, even for root.
    File inProc(fs::path("/proc/self/orvane"));
    EXPECT_EQ(messagesLoggedBy([&] { EXPECT_FALSE(inProc.create()); }),
              Lines{"Could not create file at location: /proc/self/orvane"});
}

// A link is the entry itself, never its target; and the operations go through
// an overridden existence test.
TEST_F(FileManagerTypeTest, deleteRemovesWholeFoldersOrLinksTakesAMissingItemAsDoneAndAsksExists) {
    fs::create_directories(odd / "inner");
    std::ofstream(odd / "inner" / "leaf") << "x";
    File file(odd);
    EXPECT_EQ(messagesLoggedBy([&] { EXPECT_TRUE(file.deleteFile()); }), Lines{});
    EXPECT_FALSE(fs::exists(odd));
    EXPECT_EQ(messagesLoggedBy([&] { EXPECT_TRUE(file.deleteFile()); }),
              Lines{"File doesn't exist at: " + odd.string()});
    const fs::path target = folder.path() / "target";
    fs::create_symlink(target, odd);  // dangling
    EXPECT_EQ(messagesLoggedBy([&] { EXPECT_TRUE(file.create()); }), alreadyThere(odd));
    EXPECT_FALSE(fs::exists(fs::symlink_status(target)));
    EXPECT_EQ(messagesLoggedBy([&] { EXPECT_TRUE(file.deleteFile()); }), Lines{});
    EXPECT_FALSE(fs::exists(fs::symlink_status(odd)));
    std::ofstream(target) << "kept";
    fs::create_symlink(target, odd);
    EXPECT_TRUE(file.deleteFile());
    EXPECT_FALSE(fs::exists(fs::symlink_status(odd)));
    EXPECT_TRUE(fs::exists(target));

    ClaimsToExist claims(odd);
    EXPECT_EQ(messagesLoggedBy([&] { EXPECT_TRUE(claims.create()); }), alreadyThere(odd));
    EXPECT_FALSE(fs::exists(fs::symlink_status(odd)));
    // Removing what is not there fails.
    EXPECT_EQ(messagesLoggedBy([&] { EXPECT_FALSE(claims.deleteFile()); }),
              Lines{"Could not remove file from location: " + odd.string()});
}

TEST_F(FileManagerTypeTest, cleanEmptiesOrCreatesAndStopsAtARefusedRemoval) {
    std::ofstream(odd) << "old contents";
    File file(odd);
    EXPECT_EQ(messagesLoggedBy([&] { EXPECT_TRUE(file.clean()); }), Lines{});
    EXPECT_EQ(file.size(), 0u);
    File missing(folder.path() / "new" / "log.txt");
    EXPECT_EQ(messagesLoggedBy([&] { EXPECT_TRUE(missing.clean()); }),
              Lines{"File doesn't exist at: " + missing.absolutePath()});
    EXPECT_EQ(missing.size(), 0u);
    File refused(fs::path("/proc/self/cmdline"));
    EXPECT_EQ(messagesLoggedBy([&] { EXPECT_FALSE(refused.clean()); }),
              Lines{"Could not remove file from location: /proc/self/cmdline"});
}

}  // namespace

#include "Data/AtomicFile.hpp"

#include "Support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

// Atomicity itself, under SIGKILL, is tested through PlistProxy.

namespace {

namespace fs = std::filesystem;
using orvane::AtomicFile;

std::string contentsOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::size_t entriesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(AtomicFile, replacesTheFileKeepingItsPermissionsAndNoLeftovers) {
    testsupport::TemporaryFolder folder;
    const fs::path path = folder.path() / std::string(255, 'n');  // the longest name allowed
    ASSERT_TRUE(AtomicFile::write(path, std::string_view("first")));
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    const std::string binary("\0\1\2", 3);
    EXPECT_TRUE(AtomicFile::write(path, binary));
    EXPECT_EQ(contentsOf(path), binary);
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}

TEST(AtomicFile, failuresLeaveTheTargetAndNoTemporaryFile) {
    testsupport::TemporaryFolder folder;
    fs::create_directory(folder.path() / "occupied");
    EXPECT_FALSE(AtomicFile::write(folder.path() / "occupied", std::string_view("x")));
    EXPECT_TRUE(fs::is_directory(folder.path() / "occupied"));
    EXPECT_FALSE(AtomicFile::write(folder.path() / "missing" / "file", std::string_view("x")));
    EXPECT_FALSE(AtomicFile::write(folder.path() / "..", std::string_view("x")));
    EXPECT_EQ(entriesIn(folder.path()), 1u);
}

}  // namespace

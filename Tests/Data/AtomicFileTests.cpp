#include "Data/AtomicFile.hpp"

#include "Support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

// This test program stands in front of the C library's rename and close, so
// the tests can see where the temporary file was and make a close fail.
namespace {

// The library starts no thread that writes files, so the tests' thread is the only user.
std::vector<std::pair<std::string, std::string>> renames;
std::atomic<bool> failNextClose = false;

}  // namespace

extern "C" int rename(const char* from, const char* to) {
    renames.emplace_back(from, to);
    static const auto real = reinterpret_cast<int (*)(const char*, const char*)>(dlsym(RTLD_NEXT, "rename"));
    return real(from, to);
}

extern "C" int close(int descriptor) {
    static const auto real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "close"));
    const int result = real(descriptor);
    if (failNextClose.exchange(false)) {
        errno = EIO;  // as a full disk or a network file system reports it late
        return -1;
    }
    return result;
}

// What makes the write atomic is the rename of a complete file in the same
// folder; the tests pin exactly that.

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

// The temporary file is renamed over the target from the target's own folder
// (a rename across file systems is a copy); a failed close renames nothing, and
// no failure leaves a temporary file behind.
TEST(AtomicFile, replacesTheFileByARenameKeepingItsPermissionsAndFailuresLeaveIt) {
    testsupport::TemporaryFolder folder;
    const fs::path path = folder.path() / std::string(255, 'n');  // the longest name allowed
    ASSERT_TRUE(AtomicFile::write(path, std::string_view("first")));
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    renames.clear();
    const std::string binary("\0\1\2", 3);
    EXPECT_TRUE(AtomicFile::write(path, binary));
    EXPECT_EQ(contentsOf(path), binary);
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(renames.size(), 1u);
    EXPECT_EQ(fs::path(renames[0].first).parent_path(), folder.path());

    renames.clear();
    failNextClose = true;
    EXPECT_FALSE(AtomicFile::write(path, std::string_view("second, maybe short")));
    failNextClose = false;
    EXPECT_EQ(contentsOf(path), binary);
    EXPECT_TRUE(renames.empty());

    fs::create_directory(folder.path() / "occupied");
    EXPECT_FALSE(AtomicFile::write(folder.path() / "occupied", std::string_view("x")));
    EXPECT_TRUE(fs::is_directory(folder.path() / "occupied"));
    EXPECT_FALSE(AtomicFile::write(folder.path() / "missing" / "file", std::string_view("x")));
    EXPECT_FALSE(AtomicFile::write(folder.path() / "..", std::string_view("x")));
    EXPECT_EQ(entriesIn(folder.path()), 2u);
}

}  // namespace

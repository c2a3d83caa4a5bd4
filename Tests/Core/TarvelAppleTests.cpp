#include "Core/TarvelApple.hpp"

#include "Support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

TEST(TarvelAppleReplace, replacesEveryOccurrenceLeftToRightWithoutRescanning) {
    const struct {
        const char *text, *target, *replacement, *expected;
    } cases[] = {
        {"aaa", "aa", "b", "ba"},
        {"a-b-c", "-", "--", "a--b--c"},  // the replacement holds the target
        {"abc", "", "x", "abc"},          // an empty target matches nothing
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tarvelapple::replace(c.text, c.target, c.replacement), c.expected)
            << c.text << " / " << c.target;
    }
}

TEST(TarvelAppleFileExists, answersForFilesAndFoldersFollowingSymbolicLinks) {
    const testsupport::TemporaryFolder folder;
    const auto& root = folder.path();
    const auto file = root / "vault.plist";
    std::ofstream(file) << "x";
    EXPECT_TRUE(tarvelapple::fileExists(file));
    EXPECT_TRUE(tarvelapple::fileExists(root));
    EXPECT_FALSE(tarvelapple::fileExists(root / "missing"));
    EXPECT_FALSE(tarvelapple::fileExists(file / "below-a-file"));
    EXPECT_FALSE(tarvelapple::fileExists(""));

    std::filesystem::create_symlink(file, root / "link");
    std::filesystem::create_symlink(root / "gone", root / "dangling");
    EXPECT_TRUE(tarvelapple::fileExists(root / "link"));
    EXPECT_FALSE(tarvelapple::fileExists(root / "dangling"));
}

}  // namespace

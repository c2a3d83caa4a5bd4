#include "Core/TarvelApple.hpp"

#include "Support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

TEST(TarvelAppleReplace, replacesEveryOccurrenceLeftToRight) {
    const struct {
        const char *text, *target, *replacement, *expected;
    } cases[] = {
        {"Optional<Optional<Int>>", "Optional<", "", "Int>>"},
        {"aaa", "aa", "b", "ba"},
        {"a-b-c", "-", "--", "a--b--c"},
        {"Int", "Optional<", "", "Int"},
        {"", "x", "y", ""},
        {"abc", "", "x", "abc"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tarvelapple::replace(c.text, c.target, c.replacement), c.expected) << c.text << " / " << c.target;
    }
}

struct Coordinator {
    virtual ~Coordinator() = default;
};
struct LoginCoordinator : Coordinator {
    int id = 0;
};
struct SpecialLoginCoordinator : LoginCoordinator {};
struct SettingsCoordinator : Coordinator {};

TEST(TarvelAppleFirst, findsTheFirstElementOfExactlyThatType) {
    auto special = std::make_shared<SpecialLoginCoordinator>();
    auto login = std::make_shared<LoginCoordinator>();
    login->id = 1;
    auto later = std::make_shared<LoginCoordinator>();
    later->id = 2;
    const std::vector<std::shared_ptr<Coordinator>> children{
        nullptr, special, std::make_shared<SettingsCoordinator>(), login, later};

    EXPECT_EQ(tarvelapple::first<LoginCoordinator>(children), login);
    EXPECT_EQ(tarvelapple::first<SpecialLoginCoordinator>(children), special);
    EXPECT_EQ(tarvelapple::first<Coordinator>(children), nullptr) << "no element is exactly a Coordinator";
}

TEST(TarvelAppleFirst, emptyListOrNoMatchGivesNothing) {
    EXPECT_EQ(tarvelapple::first<LoginCoordinator>(std::vector<std::shared_ptr<Coordinator>>{}), nullptr);
    const std::vector<std::shared_ptr<Coordinator>> children{std::make_shared<SettingsCoordinator>()};
    EXPECT_EQ(tarvelapple::first<LoginCoordinator>(children), nullptr);
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

#include "Application/ProcessArgumentsProvider.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using orvane::ProcessArgumentsProvider;

TEST(ProcessArgumentsProvider, readsThisProcesssCommandLineByDefault) {
    // /proc reports a size of 0 for it: only a read to the end sees the arguments.
    const auto own = ProcessArgumentsProvider().arguments();
    ASSERT_FALSE(own.empty());
    EXPECT_TRUE(std::filesystem::equivalent(own.front(), "/proc/self/exe")) << own.front();
}

TEST(ProcessArgumentsProvider, splitsAtNulBytesAndGivesNothingForAnUnreadableFile) {
    const auto file =
        std::filesystem::temp_directory_path() / ("orvane-cmdline-" + std::to_string(::getpid()));
    constexpr char terminated[] = "vault\0--name\0\0x y\0\xff\xfe\0";
    std::ofstream(file, std::ios::binary) << std::string(terminated, sizeof terminated - 1);
    EXPECT_EQ(ProcessArgumentsProvider(file).arguments(),
              (std::vector<std::string>{"vault", "--name", "", "x y", "\xff\xfe"}));

    // A rewritten command line may leave its last argument unterminated.
    constexpr char unterminated[] = "vault\0Fast";
    std::ofstream(file, std::ios::binary) << std::string(unterminated, sizeof unterminated - 1);
    EXPECT_EQ(ProcessArgumentsProvider(file).arguments(), (std::vector<std::string>{"vault", "Fast"}));

    std::ofstream(file, std::ios::binary).close();
    EXPECT_TRUE(ProcessArgumentsProvider(file).arguments().empty());
    std::filesystem::remove(file);

    EXPECT_TRUE(ProcessArgumentsProvider("/proc/self/no-such-file").arguments().empty());
    EXPECT_TRUE(ProcessArgumentsProvider(std::filesystem::temp_directory_path()).arguments().empty());
}

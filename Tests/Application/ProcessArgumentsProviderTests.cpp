#include "Application/ProcessArgumentsProvider.hpp"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern char** environ;

using orvane::ProcessArgumentsProvider;

namespace {

constexpr const char* reportVariable = "ORVANE_TEST_ARGUMENTS_REPORT";

// Started by seesTheArgumentsItWasStartedWith, this program writes its own
// argument list to the file named in the environment, "<length>:<bytes>"
// per argument, and exits before any test runs.
const bool reportedArguments = [] {
    const char* report = std::getenv(reportVariable);
    if (report == nullptr) {
        return false;
    }
    std::ofstream out(report, std::ios::binary);
    for (const std::string& argument : ProcessArgumentsProvider().arguments()) {
        out << argument.size() << ':' << argument;
    }
    out.close();
    std::_Exit(out ? 0 : 1);
}();

std::filesystem::path temporaryPath(const std::string& name) {
    return std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
}

}  // namespace

TEST(ProcessArgumentsProvider, seesTheArgumentsItWasStartedWith) {
    ASSERT_FALSE(reportedArguments);
    const auto own = ProcessArgumentsProvider().arguments();
    ASSERT_FALSE(own.empty());
    EXPECT_TRUE(std::filesystem::equivalent(own.front(), "/proc/self/exe")) << own.front();

    const auto report = temporaryPath("orvane-arguments-report");
    const std::string program = std::filesystem::read_symlink("/proc/self/exe");
    std::vector<std::string> arguments = {program, "--mode", "Fast", "", "with space", "\xff\xfe"};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    std::string variable = std::string(reportVariable) + "=" + report.string();
    std::vector<char*> envp = {variable.data()};
    for (char** entry = environ; *entry != nullptr; ++entry) {
        envp.push_back(*entry);
    }
    envp.push_back(nullptr);

    pid_t child = 0;
    ASSERT_EQ(::posix_spawn(&child, program.c_str(), nullptr, nullptr, argv.data(), envp.data()), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    std::string expected;
    for (const std::string& argument : arguments) {
        expected += std::to_string(argument.size()) + ':' + argument;
    }
    std::ifstream in(report, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), expected);
    std::filesystem::remove(report);
}

TEST(ProcessArgumentsProvider, splitsAtNulBytesAndGivesNothingForAnUnreadableFile) {
    const auto file = temporaryPath("orvane-cmdline");
    constexpr char terminated[] = "vault\0--name\0\0x y\0";
    std::ofstream(file, std::ios::binary) << std::string(terminated, sizeof terminated - 1);
    EXPECT_EQ(ProcessArgumentsProvider(file).arguments(),
              (std::vector<std::string>{"vault", "--name", "", "x y"}));

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

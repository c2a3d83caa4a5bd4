// The `orvane` command-line tool, run as a program.
//
// The keychain tests run against the private, throwaway keyring of
// scripts/with-test-keyring.sh (ORVANE_TEST_KEYRING=1); without it they are
// skipped, or fail when ORVANE_REQUIRE_KEYRING is set. The command-line tests
// need no keyring: they run the tool without a session bus, so that nothing
// they start can reach a real keyring.
#include "Support/TemporaryFolder.hpp"
#include "Support/TestKeyring.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace {

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string readFile(const std::filesystem::path& path) {
    std::ifstream stream(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// runOrvane: runs the tool with `input` as its standard input; stdin, stdout
// and stderr are files, so no pipe can fill up. Without `sessionBus` the tool
// sees no D-Bus session at all; with `outputClosed` it starts without a
// standard output.
ToolRun runOrvane(const std::vector<std::string>& arguments, const std::string& input = "",
                  bool sessionBus = true, bool outputClosed = false) {
    const testsupport::TemporaryFolder folder;
    writeFile(folder.path() / "in", input);
    const pid_t child = ::fork();
    if (child == 0) {
        const int in = ::open((folder.path() / "in").c_str(), O_RDONLY);
        const int out = ::open((folder.path() / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open((folder.path() / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, STDIN_FILENO) < 0 || ::dup2(out, STDOUT_FILENO) < 0 ||
            ::dup2(err, STDERR_FILENO) < 0) {
            ::_exit(126);
        }
        if (outputClosed) {
            ::close(STDOUT_FILENO);
        }
        if (!sessionBus) {
            ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
            ::unsetenv("XDG_RUNTIME_DIR");
        }
        std::vector<char*> argv{const_cast<char*>(ORVANE_TOOL_PATH)};
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(folder.path() / "out"),
            readFile(folder.path() / "err")};
}

bool isOneLine(const std::string& text) {
    return !text.empty() && text.back() == '\n' && std::count(text.begin(), text.end(), '\n') == 1;
}

class OrvaneToolIntegrationTest : public testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::usePrivateTestKeyring()) {
            return;
        }
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        service_ = std::string("com.orvane.tests.tool.") + info->name() + "." + std::to_string(::getpid());
    }

    void TearDown() override {
        if (!service_.empty()) {
            for (const char* account : {"alice", "older", "carol", "dave"}) {
                runOrvane({"keychain", "remove", "--account", account, "--service", service_});
            }
        }
    }

    // keychain: `orvane keychain <action> --account <account> --service <service>` and `more`.
    ToolRun keychain(const std::string& action, const std::string& account,
                     std::vector<std::string> more = {}, const std::string& input = "") const {
        std::vector<std::string> arguments{"keychain", action, "--account", account, "--service", service_};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return runOrvane(arguments, input);
    }

    std::string service_;
};

TEST_F(OrvaneToolIntegrationTest, secretsPassThroughByteForByte) {
    std::string random(100, '\0');
    std::mt19937 generator(7);
    std::generate(random.begin(), random.end(), [&] { return static_cast<char>(generator()); });
    const std::string secret = std::string("\0head\n", 6) + random + std::string("tail\0", 5);

    const ToolRun stored = keychain("store", "alice", {"--acl", "/bin/sh", "--acl", "/bin/true"}, secret);
    EXPECT_EQ(stored.status, 0) << stored.err;
    EXPECT_EQ(stored.out, "");
    EXPECT_EQ(stored.err, "");

    const ToolRun fetched = keychain("fetch", "alice", {"--acl", "/bin/true", "--acl", "/bin/sh"});
    EXPECT_EQ(fetched.status, 0) << fetched.err;
    EXPECT_EQ(fetched.out, secret);
    EXPECT_EQ(fetched.err, "");

    const std::string second("second\0", 7);
    EXPECT_EQ(keychain("replace", "alice", {}, second).status, 0);
    EXPECT_EQ(keychain("fetch", "alice").out, second);
    EXPECT_EQ(keychain("replace", "alice", {}, "").status, 0);
    const ToolRun empty = keychain("fetch", "alice");
    EXPECT_EQ(empty.status, 0) << empty.err;
    EXPECT_EQ(empty.out, "");
}

TEST_F(OrvaneToolIntegrationTest, storingOverAnItemFailsWithOneLineAndKeepsIt) {
    ASSERT_EQ(keychain("store", "alice", {}, "first").status, 0);

    const ToolRun again = keychain("store", "alice", {}, "second");
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.out, "");
    EXPECT_TRUE(isOneLine(again.err)) << again.err;
    EXPECT_NE(
        again.err.find("Seckeychain error -1: Error '-25299' saving key data for account: alice, service: " +
                       service_),
        std::string::npos)
        << again.err;
    EXPECT_EQ(keychain("fetch", "alice").out, "first");
}

TEST_F(OrvaneToolIntegrationTest, aMissingItemHasItsOwnStatus) {
    const ToolRun missing = keychain("fetch", "alice");
    EXPECT_EQ(missing.status, 3);
    EXPECT_EQ(missing.out, "");
    EXPECT_TRUE(isOneLine(missing.err)) << missing.err;
    EXPECT_NE(missing.err.find("TarvelOrvane.KeychainFetchError error 2"), std::string::npos) << missing.err;

    ASSERT_EQ(keychain("store", "alice", {}, "short-lived").status, 0);
    EXPECT_EQ(keychain("remove", "alice").status, 0);
    EXPECT_EQ(keychain("fetch", "alice").status, 3);
    EXPECT_EQ(keychain("remove", "alice").status, 0);  // nothing left: still a success

    // A wrongly protected item is another failure, not a missing one.
    ASSERT_EQ(keychain("store", "alice", {"--acl", "/bin/sh"}, "guarded").status, 0);
    const ToolRun foreign = keychain("fetch", "alice");
    EXPECT_EQ(foreign.status, 1);
    EXPECT_TRUE(isOneLine(foreign.err)) << foreign.err;
    EXPECT_NE(foreign.err.find("TarvelOrvane.KeychainFetchError error 1"), std::string::npos) << foreign.err;
    EXPECT_EQ(keychain("fetch", "alice", {"--bypassing-acl-checks"}).out, "guarded");
}

TEST_F(OrvaneToolIntegrationTest, fetchOptionsMigrateOrReplaceAMissingItem) {
    ASSERT_EQ(keychain("store", "older", {"--acl", "/bin/sh"}, "old secret").status, 0);

    // The older key takes the new key's applications, so the trust check passes.
    const ToolRun migrated =
        keychain("fetch", "alice", {"--acl", "/bin/sh", "--migrating-from", "older:" + service_});
    EXPECT_EQ(migrated.status, 0) << migrated.err;
    EXPECT_EQ(migrated.out, "old secret");
    EXPECT_EQ(keychain("fetch", "older", {"--acl", "/bin/sh"}).out, "old secret");
    EXPECT_EQ(keychain("fetch", "alice", {"--acl", "/bin/sh"}).out, "old secret");
    // A relative application path is taken from the working directory.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path("/");
    const ToolRun relative = keychain("fetch", "alice", {"--acl", "bin/./sh"});
    std::filesystem::current_path(previous);
    EXPECT_EQ(relative.out, "old secret") << relative.err;

    // Checked, an older item trusting an application the key does not name is refused; unchecked, it is
    // copied.
    EXPECT_EQ(keychain("fetch", "carol", {"--migrating-from", "older:" + service_}).status, 1);
    const ToolRun insecure = keychain("fetch", "carol", {"--migrating-insecurely-from", "older:" + service_});
    EXPECT_EQ(insecure.status, 0) << insecure.err;
    EXPECT_EQ(insecure.out, "old secret");

    const testsupport::TemporaryFolder folder;
    writeFile(folder.path() / "fresh", std::string("fresh\0bytes", 11));
    const std::string file = (folder.path() / "fresh").string();
    const ToolRun replaced =
        keychain("fetch", "dave", {"--migrating-from", "nobody:" + service_, "--replacing-with-file", file});
    EXPECT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_EQ(replaced.out, std::string("fresh\0bytes", 11));
    EXPECT_EQ(keychain("fetch", "dave").out, std::string("fresh\0bytes", 11));
}

TEST(OrvaneToolCommandLineIntegrationTest, badCommandLinesExitTwoWithOneLine) {
    const std::vector<std::vector<std::string>> badLines{
        {},
        {"keychain"},
        {"keychain", "frobnicate"},
        {"keychain", "fetch", "--account", "alice"},
        {"keychain", "fetch", "--account", "alice", "--service", "s", "--migrating-from", "no-colon"},
        {"keychain", "fetch", "--account", "alice", "--service", "s", "--replacing-with-file",
         "/nonexistent/file"},
        {"keychain", "remove", "--account", "alice", "--service", "s", "--acl", "/bin/sh"},
        {"keychain", "store", "--account", "alice", "--service", "s", "stray"},
    };
    for (const auto& line : badLines) {
        const ToolRun run = runOrvane(line, "", false);
        SCOPED_TRACE(testing::PrintToString(line));
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(isOneLine(run.err)) << run.err;
    }
}

TEST(OrvaneToolCommandLineIntegrationTest, reachabilityPrintsTheStateWarnsInOneLineAndRejectsABadWatch) {
    ::setenv("GIO_USE_NETWORK_MONITOR", "base", 1);  // GIO's monitor that can report no change
    const ToolRun run = runOrvane({"reachability", "--watch", "0.1"}, "", false);
    ::unsetenv("GIO_USE_NETWORK_MONITOR");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "reachable\n");
    EXPECT_TRUE(isOneLine(run.err) && run.err.starts_with("orvane: Received notification error: "))
        << run.err;
    for (const std::string watch : {"soon", "-1"}) {
        const ToolRun bad = runOrvane({"reachability", "--watch", watch}, "", false);
        EXPECT_EQ(bad.status, 2);
        EXPECT_TRUE(bad.out.empty() && isOneLine(bad.err)) << bad.err;
    }
}

TEST(OrvaneToolCommandLineIntegrationTest, aFetchWithoutStandardOutputIsRefusedBeforeReadingTheSecret) {
    // Otherwise the first descriptor the libraries open would take number 1
    // and receive the secret.
    const ToolRun run =
        runOrvane({"keychain", "fetch", "--account", "alice", "--service", "com.orvane.tests.tool"}, "", true, true);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(isOneLine(run.err)) << run.err;
    EXPECT_NE(run.err.find("standard output"), std::string::npos) << run.err;
}

TEST(OrvaneToolCommandLineIntegrationTest, helpListsTheExitStatuses) {
    for (const std::vector<std::string>& line :
         {std::vector<std::string>{"--help"}, std::vector<std::string>{"keychain", "fetch", "--help"}}) {
        const ToolRun help = runOrvane(line, "", false);
        EXPECT_EQ(help.status, 0);
        EXPECT_NE(help.out.find("Exit status:"), std::string::npos) << help.out;
        EXPECT_NE(help.out.find("3  no such item"), std::string::npos) << help.out;
    }
    EXPECT_NE(runOrvane({"keychain", "fetch", "--help"}, "", false).out.find("--migrating-insecurely-from"),
              std::string::npos);
}

TEST(OrvaneToolCommandLineIntegrationTest, anUnreachableKeychainIsAFailureNotAMissingItem) {
    const ToolRun run = runOrvane({"keychain", "fetch", "--account", "alice", "--service", "s"}, "", false);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(isOneLine(run.err)) << run.err;
    EXPECT_TRUE(run.err.starts_with("orvane: Seckeychain error -1: Error '-25291'")) << run.err;
}

TEST(OrvaneToolCommandLineIntegrationTest, htmlPrintsRunsOrMarkupAndRefusesBadInput) {
    const ToolRun runs =
        runOrvane({"html", "--font", "Cantarell:11", "--css", "b { color: #0a0 }"}, "Hi <b>you</b>", false);
    EXPECT_EQ(runs.status, 0) << runs.err;
    EXPECT_NE(runs.out.find("text: \"Hi you\""), std::string::npos) << runs.out;
    EXPECT_NE(runs.out.find("\"you\" font \"Cantarell\" 11.0pt bold color #00aa00"), std::string::npos)
        << runs.out;
    const ToolRun pango = runOrvane({"html", "--pango"}, "a&amp;<i>b</i>", false);
    EXPECT_EQ(pango.status, 0) << pango.err;
    EXPECT_NE(pango.out.find(">a&amp;</span><span "), std::string::npos) << pango.out;
    EXPECT_NE(pango.out.find("style=\"italic\""), std::string::npos) << pango.out;

    const ToolRun invalid = runOrvane({"html"}, "caf\xC3", false);
    EXPECT_EQ(invalid.status, 1);
    EXPECT_TRUE(isOneLine(invalid.err)) << invalid.err;
    for (const std::vector<std::string>& line : {std::vector<std::string>{"html", "--font", "NoSize"},
                                                 std::vector<std::string>{"html", "--bogus"}}) {
        const ToolRun bad = runOrvane(line, "", false);
        EXPECT_EQ(bad.status, 2);
        EXPECT_TRUE(isOneLine(bad.err)) << bad.err;
    }
}

}  // namespace

TEST(OrvaneToolCommandLineIntegrationTest, notifyWithoutASessionBusFailsAndRefusesBadLines) {
    const ToolRun dropped = runOrvane({"notify", "--title", "T", "--wait"}, "", false);
    EXPECT_EQ(dropped.status, 1);
    EXPECT_EQ(dropped.out, "");
    // The library's one log line, then the tool's.
    EXPECT_TRUE(dropped.err.ends_with("\norvane notify: no notification server took the notification\n"))
        << dropped.err;
    for (const std::vector<std::string>& line :
         {std::vector<std::string>{"notify"}, std::vector<std::string>{"notify", "--title", "T", "--after", "-1"}}) {
        const ToolRun bad = runOrvane(line, "", false);
        EXPECT_EQ(bad.status, 2);
        EXPECT_TRUE(isOneLine(bad.err)) << bad.err;
    }
}

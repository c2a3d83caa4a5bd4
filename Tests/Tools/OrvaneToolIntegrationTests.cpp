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

#include <pty.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
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

// runOrvane: runs the tool through the shell with `input` as its standard
// input; stdin, stdout and stderr are files, so no pipe can fill up. Without
// `sessionBus` the tool sees no D-Bus session at all; with `outputClosed` it
// starts without a standard output. With `busAddress` it meets that bus
// instead, and is killed if it is still running after 5 s. No argument of
// these tests holds a quote.
ToolRun runOrvane(const std::vector<std::string>& arguments, const std::string& input = "",
                  bool sessionBus = true, bool outputClosed = false, const std::string& busAddress = "") {
    const testsupport::TemporaryFolder folder;
    std::ofstream(folder.path() / "in", std::ios::binary) << input;
    std::string command = sessionBus ? "" : "unset DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR; ";
    if (!busAddress.empty()) {
        command += "DBUS_SESSION_BUS_ADDRESS='" + busAddress + "' timeout -s KILL 5 ";
    }
    command += ORVANE_TOOL_PATH;
    for (const std::string& argument : arguments) {
        command += " '" + argument + "'";
    }
    const std::string file = "'" + (folder.path() / "").string();
    command += " <" + file + "in' >" + file + "out' 2>" + file + "err'" + (outputClosed ? " >&-" : "");
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(folder.path() / "out"),
            readFile(folder.path() / "err")};
}

bool isOneLine(const std::string& text) {
    return !text.empty() && text.back() == '\n' && std::count(text.begin(), text.end(), '\n') == 1;
}

// isErrorLine: one line in the tool's one format for errors.
bool isErrorLine(const std::string& text) {
    static const std::regex format("orvane( [a-z]+)?: [A-Za-z.]+ error -?[0-9]+: .+\n");
    return std::regex_match(text, format);
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

TEST_F(OrvaneToolIntegrationTest, secretsPassThroughByteForByteAndFailuresHaveTheirStatus) {
    std::string random(100, '\0');
    std::mt19937 generator(7);
    std::generate(random.begin(), random.end(), [&] { return static_cast<char>(generator()); });
    const std::string secret = std::string("\0head\n", 6) + random + std::string("tail\0", 5);

    const ToolRun stored =
        keychain("store", "alice", {"--acl", "/bin/sh", "--acl", "/bin/true", "--timeout", "30"}, secret);
    EXPECT_EQ(stored.status, 0) << stored.err;
    EXPECT_EQ(stored.err, "");

    const ToolRun fetched = keychain("fetch", "alice", {"--acl", "/bin/true", "--acl", "/bin/sh"});
    EXPECT_EQ(fetched.status, 0) << fetched.err;
    EXPECT_EQ(fetched.out, secret);
    EXPECT_EQ(fetched.err, "");
    // Storing over an item fails with one line and keeps it.
    const ToolRun again = keychain("store", "alice", {}, "second");
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, "orvane: Seckeychain error -1: Error '-25299' (the item exists) saving key data for "
                         "account: alice, service: " + service_ + "\n");
    EXPECT_EQ(keychain("fetch", "alice", {"--acl", "/bin/true", "--acl", "/bin/sh"}).out, secret);

    const std::string second("second\0", 7);
    EXPECT_EQ(keychain("replace", "alice", {}, second).status, 0);
    EXPECT_EQ(keychain("fetch", "alice").out, second);
    // An empty secret is most likely a mistake: taken only when asked for.
    for (const std::string action : {"store", "replace"}) {
        const ToolRun refused = keychain(action, "alice", {}, "");
        EXPECT_EQ(refused.status, 1);
        EXPECT_TRUE(isErrorLine(refused.err) && refused.err.find("--allow-empty") != std::string::npos)
            << refused.err;
    }
    EXPECT_EQ(keychain("fetch", "alice").out, second);
    EXPECT_EQ(keychain("replace", "alice", {"--allow-empty"}, "").status, 0);
    const ToolRun empty = keychain("fetch", "alice");
    EXPECT_EQ(empty.status, 0) << empty.err;
    EXPECT_EQ(empty.out, "");
    EXPECT_EQ(keychain("remove", "alice").status, 0);
    const ToolRun missing = keychain("fetch", "alice");
    EXPECT_EQ(missing.status, 3);
    EXPECT_EQ(missing.out, "");
    EXPECT_TRUE(isErrorLine(missing.err) &&
                missing.err.starts_with("orvane: TarvelOrvane.KeychainFetchError error 2: ")) << missing.err;

    // A wrongly protected item is another failure, not a missing one.
    ASSERT_EQ(keychain("store", "alice", {"--acl", "/bin/sh"}, "guarded").status, 0);
    const ToolRun foreign = keychain("fetch", "alice");
    EXPECT_EQ(foreign.status, 1);
    EXPECT_TRUE(isErrorLine(foreign.err) &&
                foreign.err.starts_with("orvane: TarvelOrvane.KeychainFetchError error 1: ")) << foreign.err;
    EXPECT_EQ(keychain("fetch", "alice", {"--bypassing-acl-checks"}).out, "guarded");
}

TEST_F(OrvaneToolIntegrationTest, aTerminalIsPromptedForOneLineWithoutEcho) {
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        ::alarm(20);  // a tool that never prompts ends instead of keeping the test waiting
        ::execl(ORVANE_TOOL_PATH, ORVANE_TOOL_PATH, "keychain", "store", "--account", "alice", "--service",
                service_.c_str(), nullptr);
        ::_exit(127);
    }
    ASSERT_GT(child, 0);
    std::string screen;  // everything the tool wrote to the terminal until it closed it
    char chunk[256];
    bool answered = false;
    for (ssize_t count = 0; (count = ::read(terminal, chunk, sizeof chunk)) > 0;) {
        screen.append(chunk, static_cast<std::size_t>(count));
        if (!answered && screen.find("Secret: ") != std::string::npos) {
            answered = true;
            EXPECT_EQ(::write(terminal, "hunter2\n", 8), 8);
        }
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(terminal);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << screen;
    EXPECT_EQ(screen, "Secret: \r\n");  // the prompt and the line break, never the secret
    EXPECT_EQ(keychain("fetch", "alice").out, "hunter2");
}

TEST_F(OrvaneToolIntegrationTest, fetchOptionsMigrateOrReplaceAMissingItem) {
    ASSERT_EQ(keychain("store", "older", {"--acl", "/bin/sh"}, "old secret").status, 0);

    // The older key takes the new key's applications, so the trust check passes.
    const ToolRun migrated =
        keychain("fetch", "alice", {"--acl", "/bin/sh", "--migrating-from", "older:" + service_});
    EXPECT_EQ(migrated.status, 0) << migrated.err;
    EXPECT_EQ(migrated.out, "old secret");
    // Written without --name, the new item has an empty label: said, not silent.
    EXPECT_TRUE(isOneLine(migrated.err) && migrated.err.starts_with("orvane: warning: ")) << migrated.err;
    EXPECT_EQ(keychain("fetch", "older", {"--acl", "/bin/sh"}).out, "old secret");
    // A relative application path is taken from the working directory.
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path("/");
    const ToolRun relative = keychain("fetch", "alice", {"--acl", "bin/./sh"});
    std::filesystem::current_path(previous);
    EXPECT_EQ(relative.out, "old secret") << relative.err;

    // The replacement file is read only when its bytes are needed: /proc/self/mem opens as a regular file
    // but every read of it fails.
    const std::vector<std::string> unreadable{"--replacing-with-file", "/proc/self/mem"};
    EXPECT_EQ(keychain("fetch", "alice", {"--acl", "/bin/sh", unreadable[0], unreadable[1]}).out,
              "old secret");

    // Checked, an older item trusting an application the key does not name is refused (the replacement is
    // not consulted); unchecked, it is copied.
    const ToolRun refused =
        keychain("fetch", "carol", {"--migrating-from", "older:" + service_, unreadable[0], unreadable[1]});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("KeychainFetchError error 1"), std::string::npos) << refused.err;
    const ToolRun insecure =
        keychain("fetch", "carol", {"--migrating-insecurely-from", "older:" + service_, "--name", "Carol"});
    EXPECT_EQ(insecure.status, 0) << insecure.err;
    EXPECT_EQ(insecure.out, "old secret");
    EXPECT_EQ(insecure.err, "");
    const ToolRun needed = keychain("fetch", "dave", unreadable);
    EXPECT_EQ(needed.status, 1);
    EXPECT_TRUE(needed.err.starts_with("orvane: NSPOSIXErrorDomain error 5: ")) << needed.err;

    const testsupport::TemporaryFolder folder;
    std::ofstream(folder.path() / "fresh", std::ios::binary) << std::string("fresh\0bytes", 11);
    const std::string file = (folder.path() / "fresh").string();
    const ToolRun replaced =
        keychain("fetch", "dave", {"--migrating-from", "nobody:" + service_, "--replacing-with-file", file});
    EXPECT_EQ(replaced.status, 0) << replaced.err;
    EXPECT_EQ(replaced.out, std::string("fresh\0bytes", 11));
    EXPECT_EQ(keychain("fetch", "dave").out, std::string("fresh\0bytes", 11));
}

TEST(OrvaneToolCommandLineIntegrationTest, badCommandLinesOfEveryCommandExitTwoWithOneErrorLine) {
    const std::vector<std::vector<std::string>> badLines{
        {},
        {"keychain"},
        {"keychain", "frobnicate"},
        {"keychain", "fetch", "--account", "alice"},
        {"keychain", "fetch", "--account", "alice", "--service", "s", "--migrating-from", "no-colon"},
        {"keychain", "fetch", "--account", "alice", "--service", "s", "--migrating-from", ":"},
        {"keychain", "fetch", "--account", "alice", "--service", "s", "--timeout", "0"},
        {"keychain", "remove", "--account", "alice", "--service", "s", "--timeout", "soon"},
        {"keychain", "remove", "--account", "alice", "--service", "s", "--acl", "/bin/sh"},
        {"keychain", "store", "--account", "alice", "--service", "s", "stray"},
        {"reachability", "--watch", "soon"},
        {"reachability", "--watch", "-1"},
        {"html", "--bogus"},
        {"notify"},
        {"notify", "--title", "T", "--after", "-1"},
    };
    for (const auto& line : badLines) {
        const ToolRun run = runOrvane(line, "", false);
        SCOPED_TRACE(testing::PrintToString(line));
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_TRUE(isErrorLine(run.err) && run.err.ends_with(" --help')\n")) << run.err;
    }
}

TEST(OrvaneToolCommandLineIntegrationTest, replacementFilesAreRefusedBeforeTheKeychainIsAsked) {
    const testsupport::TemporaryFolder folder;
    std::ofstream(folder.path() / "big").close();
    std::filesystem::resize_file(folder.path() / "big", 16 * 1024 * 1024 + 1);
    // A missing and an unreadable file end alike; so do files that are no regular files or too large.
    const std::pair<std::string, std::string> cases[] = {
        {"/nonexistent/file", "could not open"},
        {"/bin/sh/below", "could not open"},
        {"/dev/zero", "not a regular file"},
        {(folder.path() / "big").string(), "larger than 16 MiB"},
    };
    for (const auto& [file, why] : cases) {
        const ToolRun run = runOrvane(
            {"keychain", "fetch", "--account", "alice", "--service", "s", "--replacing-with-file", file}, "",
            false);
        EXPECT_EQ(run.status, 1);
        EXPECT_TRUE(isErrorLine(run.err) && run.err.find(why) != std::string::npos) << run.err;
    }
}

TEST(OrvaneToolCommandLineIntegrationTest, reachabilityPrintsTheStateAndWarnsInOneLine) {
    ::setenv("GIO_USE_NETWORK_MONITOR", "base", 1);  // GIO's monitor that can report no change
    const ToolRun run = runOrvane({"reachability", "--watch", "0.1"}, "", false);
    ::unsetenv("GIO_USE_NETWORK_MONITOR");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "reachable\n");
    EXPECT_TRUE(isOneLine(run.err) && run.err.starts_with("orvane: Received notification error: "))
        << run.err;
}

TEST(OrvaneToolCommandLineIntegrationTest, aFetchWithoutStandardOutputIsRefusedBeforeReadingTheSecret) {
    // Otherwise the first descriptor the libraries open would take number 1
    // and receive the secret.
    const ToolRun run = runOrvane(
        {"keychain", "fetch", "--account", "alice", "--service", "com.orvane.tests.tool"}, "", true, true);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(isErrorLine(run.err) && run.err.find("standard output") != std::string::npos) << run.err;
}

TEST(OrvaneToolCommandLineIntegrationTest, helpListsTheExitStatuses) {
    for (const std::vector<std::string>& line :
         {std::vector<std::string>{"--help"}, std::vector<std::string>{"keychain", "fetch", "--help"}}) {
        const ToolRun help = runOrvane(line, "", false);
        EXPECT_EQ(help.status, 0);
        EXPECT_NE(help.out.find("Exit status:"), std::string::npos) << help.out;
        EXPECT_NE(help.out.find("3  no such item"), std::string::npos) << help.out;
    }
    const ToolRun version = runOrvane({"--version"}, "", false);
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex("orvane [0-9]+\\.[0-9]+\\.[0-9]+\n")))
        << version.out;
}

TEST(OrvaneToolCommandLineIntegrationTest, anUnreachableKeychainIsAFailureNotAMissingItem) {
    const std::string unreachable =
        "orvane: Seckeychain error -1: Error '-25291' (no Secret Service on the "
        "session bus) retrieving key data for account: alice, service: s\n";
    const ToolRun run = runOrvane({"keychain", "fetch", "--account", "alice", "--service", "s"}, "", false);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, unreachable);

    // A bus that takes the connection and never answers: the given bound ends the wait, long before the
    // default one would (runOrvane gives up on the tool after 5 s).
    const testsupport::TemporaryFolder folder;
    sockaddr_un address{AF_UNIX, {}};
    const std::string path = (folder.path() / "silent-bus").string();
    path.copy(address.sun_path, sizeof(address.sun_path) - 1);
    const int silentBus = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::bind(silentBus, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(silentBus, 4), 0);
    const ToolRun silent =
        runOrvane({"keychain", "fetch", "--account", "alice", "--service", "s", "--timeout", "0.2"}, "", true,
                  false, "unix:path=" + path);
    ::close(silentBus);
    EXPECT_EQ(silent.status, 1);
    EXPECT_EQ(silent.err, unreachable);
}

TEST(OrvaneToolCommandLineIntegrationTest, htmlPrintsRunsOrMarkupAndRefusesInvalidText) {
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
    EXPECT_EQ(runOrvane({"html", "--font", "NoSize"}, "", false).status, 2);
}

}  // namespace

TEST(OrvaneToolCommandLineIntegrationTest, notifyWithoutASessionBusFails) {
    const ToolRun dropped = runOrvane({"notify", "--title", "T", "--wait"}, "", false);
    EXPECT_EQ(dropped.status, 1);
    EXPECT_EQ(dropped.out, "");
    // The library's one log line, then the tool's.
    EXPECT_TRUE(dropped.err.ends_with("\norvane notify: no notification server took the notification\n"))
        << dropped.err;
}

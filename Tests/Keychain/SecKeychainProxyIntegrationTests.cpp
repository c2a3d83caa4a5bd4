// SecKeychainProxy and Keychain against a real gnome-keyring-daemon.
//
// Run them through scripts/with-test-keyring.sh, which gives them a private
// session bus and a throwaway, unlocked keyring (ORVANE_TEST_KEYRING=1). They
// never run against any other keyring: without the private one they are
// skipped, or fail when ORVANE_REQUIRE_KEYRING is set, as it is in CI.
// secret-tool plays the other Secret Service client, and dbus-send locks the
// collection. The tests without a Secret Service start a bus of their own.
#include "Keychain/Keychain.hpp"
#include "Keychain/KeychainKey.hpp"
#include "Keychain/SecKeychainProxy.hpp"
#include "Platform/GLib/GLibHandles.hpp"
#include "SeckeychainMessage.hpp"
#include "Support/ChildProcess.hpp"
#include "Support/PrivateBus.hpp"
#include "Support/TemporaryFolder.hpp"
#include "Support/TestKeyring.hpp"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using orvane::Data;
using orvane::Keychain;
using orvane::KeychainKey;
using orvane::SecKeychainProxy;
namespace glib = orvane::glib;
using Clock = std::chrono::steady_clock;

struct ToolResult {
    int exitStatus = -1;
    std::string output;
};

// runTool: runs a program through the shell, with `input` piped to it, and
// reads its standard output and error (secret-tool lists attributes on the
// latter). The arguments and inputs of these tests hold no quote.
ToolResult runTool(const std::vector<std::string>& arguments, const std::string& input = "") {
    std::string command = "printf %s '" + input + "' |";
    for (const std::string& argument : arguments) {
        command += " '" + argument + "'";
    }
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    ToolResult result;
    if (pipe == nullptr) {
        ADD_FAILURE() << "could not run " << command;
        return result;
    }
    char buffer[4096];
    for (std::size_t count = 0; (count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        result.output.append(buffer, count);
    }
    const int status = ::pclose(pipe);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// What secret-tool lists of the items with this account and service.
std::string listing(const std::string& account, const std::string& service) {
    return runTool({"secret-tool", "search", "--all", "--unlock", "account", account, "service", service}).output;
}

// The object paths of those items.
std::vector<std::string> itemPaths(const std::string& account, const std::string& service) {
    std::istringstream lines(listing(account, service));
    std::vector<std::string> paths;
    for (std::string line; std::getline(lines, line);) {
        if (line.starts_with("[")) {
            paths.push_back(line);
        }
    }
    return paths;
}

void storeWithSecretTool(const std::string& account, const std::string& service, const std::string& secret,
                         const std::vector<std::string>& moreAttributes = {}) {
    std::vector<std::string> arguments{"secret-tool", "store", "--label=made elsewhere", "account", account,
                                       "service",     service};
    arguments.insert(arguments.end(), moreAttributes.begin(), moreAttributes.end());
    ASSERT_EQ(runTool(arguments, secret).exitStatus, 0);
}

class SecKeychainProxyIntegrationTest : public testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::usePrivateTestKeyring()) {
            return;
        }
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        service_ = std::string("com.orvane.tests.") + info->name() + "." + std::to_string(::getpid());
    }

    void TearDown() override {
        if (!service_.empty()) {
            for (const char* account : {"alice", "empty", "large"}) {
                runTool({"secret-tool", "clear", "account", account, "service", service_});
            }
        }
    }

    KeychainKey key(const std::string& account, const std::vector<std::string>& paths = {"/bin/sh"}) const {
        return KeychainKey(account, service_, "Vault " + account, "",
                           std::vector<orvane::KeychainTrustedApp>(paths.begin(), paths.end()));
    }

    std::string service_;
    std::shared_ptr<SecKeychainProxy> proxy_ = std::make_shared<SecKeychainProxy>(5s);
    Keychain keychain_{proxy_};
};

TEST_F(SecKeychainProxyIntegrationTest, storedItemIsReadBackWithoutAnyWriteAndByOtherClients) {
    const KeychainKey alice = key("alice", {"/bin/sh", "/bin/true"});
    keychain_.store(alice, Data("hunter2"));
    const std::string listed = listing("alice", service_);
    EXPECT_NE(listed.find("label = Vault alice\n"), std::string::npos) << listed;
    EXPECT_NE(listed.find("attribute.access-descriptor = alice\n"), std::string::npos);  // empty descriptor
    const auto before = itemPaths("alice", service_);
    ASSERT_EQ(before.size(), 1u);

    EXPECT_EQ(keychain_.fetch(alice), Data("hunter2"));
    EXPECT_EQ(itemPaths("alice", service_), before);
    EXPECT_EQ(runTool({"secret-tool", "lookup", "account", "alice", "service", service_}).output, "hunter2");
}

TEST_F(SecKeychainProxyIntegrationTest, anAccessRecordThatCannotBeDecodedIsReported) {
    storeWithSecretTool("alice", service_, "secret", {"trusted-applications", "not base64!"});
    const auto decode = [&] { proxy_->trustedApplicationsData(proxy_->fetchItem("alice", service_).value()); };
    EXPECT_EQ(messageThrownBy(decode), "Error '-26275' retrieving SecAccess for item");
}

TEST_F(SecKeychainProxyIntegrationTest, binarySecretsRoundTripUnchanged) {
    std::string large(1 << 20, '\0');
    std::mt19937 random(20240501);
    std::generate(large.begin(), large.end(), [&] { return static_cast<char>(random()); });
    const std::map<std::string, Data> secrets{
        {"alice", Data(std::string("\0nul\0inside\0", 12))}, {"empty", Data()}, {"large", Data(large)}};
    for (const auto& [account, secret] : secrets) {
        proxy_->addItem(account, service_, "binary", "", {}, secret);
    }
    for (const auto& [account, secret] : secrets) {
        EXPECT_TRUE(proxy_->fetchData(account, service_) == secret) << account;
    }
}

TEST_F(SecKeychainProxyIntegrationTest, severalMatchingItemsReadAsTheNewestAndAreAllDeleted) {
    storeWithSecretTool("alice", service_, "first", {"copy", "1"});
    storeWithSecretTool("alice", service_, "second", {"copy", "2"});
    ASSERT_EQ(itemPaths("alice", service_).size(), 2u);

    EXPECT_EQ(proxy_->fetchData("alice", service_), Data("second"));

    proxy_->deleteItem("alice", service_);
    EXPECT_TRUE(itemPaths("alice", service_).empty());
    proxy_->deleteItem("alice", service_);  // nothing left to delete: still a success
}

// The adaptor remembers where it last found an item and asks for it beside
// the next search; what another client did in between must still be seen.
TEST_F(SecKeychainProxyIntegrationTest, changesByAnotherClientAreSeenByTheNextCall) {
    proxy_->addItem("alice", service_, "Vault", "", {"/bin/sh"}, Data("mine"));
    ASSERT_EQ(proxy_->fetchData("alice", service_), Data("mine"));
    EXPECT_EQ(proxy_->trustedApplicationsData(proxy_->fetchItem("alice", service_).value()).size(), 1u);

    storeWithSecretTool("alice", service_, "newer", {"copy", "2"});
    EXPECT_EQ(proxy_->fetchData("alice", service_), Data("newer"));
    // Another client's item has no access record.
    EXPECT_TRUE(proxy_->trustedApplicationsData(proxy_->fetchItem("alice", service_).value()).empty());

    runTool({"secret-tool", "clear", "account", "alice", "service", service_});
    storeWithSecretTool("alice", service_, "replaced");
    EXPECT_EQ(proxy_->fetchData("alice", service_), Data("replaced"));
    EXPECT_TRUE(proxy_->fetchItem("alice", service_).has_value());
    // Between a fetchItem and its fetchData, even a secret changed in place.
    const auto paths = itemPaths("alice", service_);
    storeWithSecretTool("alice", service_, "changed in place");
    EXPECT_EQ(proxy_->fetchData("alice", service_), Data("changed in place"));
    EXPECT_EQ(itemPaths("alice", service_), paths);

    runTool({"secret-tool", "clear", "account", "alice", "service", service_});
    EXPECT_FALSE(proxy_->fetchItem("alice", service_).has_value());
    EXPECT_FALSE(proxy_->fetchData("alice", service_).has_value());
}

// Adders: processes that each run this test again, where it adds one item
// many times, all from the same moment on.
constexpr int adderProcesses = 8;
constexpr int addsPerProcess = 50;
constexpr const char* adderVariable = "ORVANE_TEST_ADDER";

TEST_F(SecKeychainProxyIntegrationTest, concurrentAddsOfOneItemLeaveOneAndRefuseTheRest) {
    if (const char* role = std::getenv(adderVariable); role != nullptr && !service_.empty()) {
        // An adder exits with 100 plus the number of its adds that succeeded when every other was
        // refused as a duplicate (so that an adder that never got here, failing as a test, is told
        // apart); 255 otherwise.
        long long start = 0;
        std::istringstream(role) >> service_ >> start;
        std::this_thread::sleep_until(std::chrono::system_clock::time_point(std::chrono::milliseconds(start)));
        const std::string duplicate = "Error '-25299' saving key data for account: alice, service: " + service_;
        SecKeychainProxy proxy(20s);
        int added = 0;
        for (int add = 0; add < addsPerProcess; ++add) {
            const std::string message =
                messageThrownBy([&] { proxy.addItem("alice", service_, "Vault", "", {}, Data("once")); });
            if (message != "no error" && message != duplicate) {
                std::_Exit(255);
            }
            added += message == "no error";
        }
        std::_Exit(100 + added);
    }
    const auto start = std::chrono::duration_cast<std::chrono::milliseconds>(
        (std::chrono::system_clock::now() + 2s).time_since_epoch());
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
    const std::string role = std::string(adderVariable) + "=" + service_ + " " + std::to_string(start.count());
    std::list<testsupport::ChildProcess> adders;
    for (int adder = 0; adder < adderProcesses; ++adder) {
        adders.emplace_back(std::vector<std::string>{"/proc/self/exe", filter}, std::vector<std::string>{role},
                            testsupport::ChildProcess::Output::discard);
    }
    int added = 0;
    for (testsupport::ChildProcess& adder : adders) {
        const int code = adder.wait();
        ASSERT_TRUE(code >= 100 && code <= 100 + addsPerProcess) << "an adder failed: " << code;
        added += code - 100;
    }
    EXPECT_EQ(added, 1);
    EXPECT_EQ(itemPaths("alice", service_).size(), 1u);
}

// secretServiceOwner: the unique bus name that owns org.freedesktop.secrets,
// or "" when none does (asked so that no daemon is started by activation).
std::string secretServiceOwner() {
    const ToolResult reply = runTool({"dbus-send", "--session", "--print-reply=literal", "--dest=org.freedesktop.DBus",
                                      "/org/freedesktop/DBus", "org.freedesktop.DBus.GetNameOwner",
                                      "string:org.freedesktop.secrets"});
    std::string owner;
    std::istringstream(reply.output) >> owner;
    return reply.exitStatus == 0 ? owner : "";
}

TEST_F(SecKeychainProxyIntegrationTest, lockedCollectionFailsAsLockedWithinTheBound) {
    keychain_.store(key("alice"), Data("kept safe"));
    const ToolResult locked = runTool({"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.secrets",
                                       "/org/freedesktop/secrets", "org.freedesktop.Secret.Service.Lock",
                                       "array:objpath:/org/freedesktop/secrets/aliases/default"});
    EXPECT_EQ(locked.exitStatus, 0) << locked.output;
    // The unlock prompt cannot be answered in a headless session: the bound ends it.
    SecKeychainProxy bounded(2s);
    EXPECT_EQ(messageThrownBy([&] { bounded.fetchData("alice", service_); }),
              "Error '-25293' retrieving key data for account: alice, service: " + service_);
    EXPECT_EQ(messageThrownBy([&] { bounded.addItem("bob", service_, "Vault", "", {}, Data("x")); }),
              "Error '-25293' saving key data for account: bob, service: " + service_);

    // Unlock by replacing the daemon with one started with the keyring's password;
    // the store's adaptor then meets the new one.
    const std::string before = secretServiceOwner();
    const char* password = std::getenv("ORVANE_TEST_KEYRING_PASSWORD");
    runTool({"gnome-keyring-daemon", "--replace", "--unlock", "--components=secrets", "--daemonize"},
            password == nullptr ? "" : password);
    for (int attempt = 0; attempt < 200 && (secretServiceOwner().empty() || secretServiceOwner() == before);
         ++attempt) {
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(keychain_.fetch(key("alice")), Data("kept safe"));
}

// Counts what this process sends to the Secret Service over the shared
// session-bus connection, which the adaptor uses too.
struct SentToService {
    std::string owner = secretServiceOwner();
    std::atomic<int> requests{0};
};

// A call cut short by its deadline sends nothing after it: the stalled
// service, once it resumes, finds no more than what one read asks.
TEST_F(SecKeychainProxyIntegrationTest, aDeadlineLeavesNoRequestToBeSentLater) {
    proxy_->addItem("alice", service_, "Vault", "", {}, Data("kept"));
    const glib::ObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    auto* sent = new SentToService();
    const auto count = [](GDBusConnection*, GDBusMessage* message, gboolean incoming, gpointer data) {
        auto* counter = static_cast<SentToService*>(data);
        const char* destination = g_dbus_message_get_destination(message);
        if (!incoming && destination != nullptr &&
            (counter->owner == destination || std::strcmp(destination, "org.freedesktop.secrets") == 0)) {
            ++counter->requests;
        }
        return message;
    };
    const guint filter = g_dbus_connection_add_filter(
        bus.get(), count, sent, [](gpointer data) { delete static_cast<SentToService*>(data); });
    const ToolResult pid = runTool(
        {"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
         "org.freedesktop.DBus.GetConnectionUnixProcessID", "string:org.freedesktop.secrets"});
    const pid_t daemon = static_cast<pid_t>(std::atoi(pid.output.substr(pid.output.rfind(' ') + 1).c_str()));
    ASSERT_GT(daemon, 0);
    SecKeychainProxy bounded(300ms);
    ASSERT_TRUE(bounded.fetchItem("alice", service_).has_value());  // opens the session and learns the item
    sent->requests = 0;
    ASSERT_TRUE(bounded.fetchItem("alice", service_).has_value());
    const int perRead = sent->requests.exchange(0);

    ::kill(daemon, SIGSTOP);
    const std::string message = messageThrownBy([&] { bounded.fetchItem("alice", service_); });
    const int sentByStalledRead = sent->requests.load();
    ::kill(daemon, SIGCONT);
    EXPECT_EQ(message, "Error '-25291' retrieving key data for account: alice, service: " + service_);
    EXPECT_LE(sentByStalledRead, perRead);
    EXPECT_EQ(bounded.fetchData("alice", service_), Data("kept"));
    g_dbus_connection_remove_filter(bus.get(), filter);
}

// Runs `probe` in a fresh copy of this test program (a death-test child), so
// that it meets a GLib without a session-bus connection yet, and expects it to
// exit with 0.
void expectInFreshProcess(const std::function<int()>& probe) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::_Exit(probe()), testing::ExitedWithCode(0), "");
}

// fetchFails: 0 when fetchData fails with `expected`; otherwise 1, with what
// happened on standard error.
int fetchFails(const std::string& expected, std::chrono::milliseconds timeout) {
    const std::string message = messageThrownBy([&] { SecKeychainProxy(timeout).fetchData("alice", "vault"); });
    if (message != expected) {
        std::fprintf(stderr, "got \"%s\"\n", message.c_str());
        return 1;
    }
    return 0;
}

// A bus without a Secret Service makes the keychain unavailable; a service
// that answers every request with "no such method" is no empty keychain either.
TEST(SecKeychainProxyWithoutServiceTest, missingOrIncompatibleServiceIsAFailureNotAMissingItem) {
    expectInFreshProcess([] {
        const testsupport::PrivateBus bus(testsupport::PrivateBus::Kind::session);
        ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.address().c_str(), 1);
        int result = fetchFails("Error '-25291' retrieving key data for account: alice, service: vault", 10s);
        const testsupport::ChildProcess mock({"/usr/bin/python3", "-m", "dbusmock", "--session",
                                              "org.freedesktop.secrets", "/org/freedesktop/secrets",
                                              "org.freedesktop.Secret.Service"});
        bus.waitForOwner("org.freedesktop.secrets");
        return result + fetchFails("Error '-4' retrieving key data for account: alice, service: vault", 10s);
    });
}

TEST(SecKeychainProxyWithoutServiceTest, busThatNeverAnswersIsGivenUp) {
    expectInFreshProcess([] {
        // A socket that accepts connections and never says a word.
        testsupport::TemporaryFolder folder;
        const auto path = (folder.path() / "silent").string();
        const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{AF_UNIX, {}};
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener, 8) != 0) {
            return 2;
        }
        ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + path).c_str(), 1);
        const int result = fetchFails("Error '-25291' retrieving key data for account: alice, service: vault", 500ms);
        ::close(listener);
        return result;
    });
}

}  // namespace

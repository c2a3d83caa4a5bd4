// SecKeychainProxy and Keychain against a real gnome-keyring-daemon.
//
// Run them through scripts/with-test-keyring.sh, which gives them a private
// session bus and a throwaway, unlocked keyring (ORVANE_TEST_KEYRING=1). They
// never run against any other keyring: without the private one they are
// skipped, or fail when ORVANE_REQUIRE_KEYRING is set, as it is in CI.
// secret-tool plays the other Secret Service client, and dbus-send locks the
// collection.
#include "Keychain/Keychain.hpp"
#include "Keychain/KeychainFetchOptions.hpp"
#include "Keychain/KeychainKey.hpp"
#include "Keychain/SecKeychainProxy.hpp"
#include "Platform/Foundation/ErrorKeys.hpp"
#include "Platform/Foundation/NSError.hpp"
#include "Platform/GLib/GLibHandles.hpp"
#include "Support/TemporaryFolder.hpp"
#include "Support/TestKeyring.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
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
using orvane::KeychainTrustedApp;
using orvane::NSError;
using orvane::SecKeychainProxy;
namespace glib = orvane::glib;
using Clock = std::chrono::steady_clock;

struct ToolResult {
    int exitStatus = -1;
    std::string output;
};

// runTool: runs a program with `input` on its standard input and returns its
// exit status and standard output, with its standard error too when
// `withStandardError` (secret-tool lists attributes there).
ToolResult runTool(const std::vector<std::string>& arguments, const std::string& input = "",
                   bool withStandardError = false) {
    int toChild[2];
    int fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(toChild[0], STDIN_FILENO);
        ::dup2(fromChild[1], STDOUT_FILENO);
        if (withStandardError) {
            ::dup2(fromChild[1], STDERR_FILENO);
        }
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    // The inputs are small enough for the pipe, so writing all first cannot deadlock.
    if (!input.empty() &&
        ::write(toChild[1], input.data(), input.size()) != static_cast<ssize_t>(input.size())) {
        ADD_FAILURE() << "could not write the input of " << arguments.front();
    }
    ::close(toChild[1]);
    ToolResult result;
    char buffer[4096];
    ssize_t count = 0;
    while ((count = ::read(fromChild[0], buffer, sizeof buffer)) > 0) {
        result.output.append(buffer, static_cast<std::size_t>(count));
    }
    ::close(fromChild[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// The items secret-tool finds with these attributes, by object path.
struct ListedItem {
    std::string label;
    std::map<std::string, std::string> attributes;
};

std::map<std::string, ListedItem> listedItems(const std::string& account, const std::string& service) {
    const ToolResult result = runTool(
        {"secret-tool", "search", "--all", "--unlock", "account", account, "service", service}, "", true);
    std::map<std::string, ListedItem> items;
    std::istringstream lines(result.output);
    std::string line;
    ListedItem* current = nullptr;
    while (std::getline(lines, line)) {
        if (line.starts_with("[")) {
            current = &items[line];
        } else if (current != nullptr && line.starts_with("label = ")) {
            current->label = line.substr(8);
        } else if (current != nullptr && line.starts_with("attribute.")) {
            const auto separator = line.find(" = ");
            current->attributes[line.substr(10, separator - 10)] = line.substr(separator + 3);
        }
    }
    return items;
}

std::vector<std::string> itemPaths(const std::string& account, const std::string& service) {
    std::vector<std::string> paths;
    for (const auto& [path, item] : listedItems(account, service)) {
        paths.push_back(path);
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

// The message of the Seckeychain error that `run` throws.
std::string messageThrownBy(const std::function<void()>& run) {
    try {
        run();
    } catch (const NSError& error) {
        return error.userInfoReference()
            .at(std::string(orvane::NSDebugDescriptionErrorKey))
            .as<std::string>()
            .value_or("");
    }
    ADD_FAILURE() << "no Seckeychain error was thrown";
    return "";
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
            for (const char* account : {"alice", "older", "bob", "empty", "large"}) {
                runTool({"secret-tool", "clear", "account", account, "service", service_});
            }
        }
    }

    KeychainKey key(const std::string& account, std::vector<std::string> paths = {"/bin/sh"}) const {
        std::vector<KeychainTrustedApp> acl;
        for (std::string& path : paths) {
            acl.emplace_back(std::move(path));
        }
        return KeychainKey(account, service_, "Vault " + account, "", std::move(acl));
    }

    std::string service_;
    std::shared_ptr<SecKeychainProxy> proxy_ = std::make_shared<SecKeychainProxy>(5s);
    Keychain keychain_{proxy_};
};

TEST_F(SecKeychainProxyIntegrationTest, storedItemIsReadBackWithoutAnyWriteAndByOtherClients) {
    const KeychainKey alice = key("alice", {"/bin/sh", "/bin/true"});
    keychain_.store(alice, Data("hunter2"));
    const auto before = listedItems("alice", service_);
    ASSERT_EQ(before.size(), 1u);

    EXPECT_EQ(keychain_.fetch(alice), Data("hunter2"));
    EXPECT_EQ(keychain_.fetch(alice), Data("hunter2"));

    EXPECT_EQ(itemPaths("alice", service_), std::vector<std::string>{before.begin()->first});
    const ListedItem& item = before.begin()->second;
    EXPECT_EQ(item.label, "Vault alice");
    EXPECT_EQ(item.attributes.at("access-descriptor"), "alice");  // empty descriptor: the account
    const auto handle = proxy_->fetchItem("alice", service_);
    ASSERT_TRUE(handle.has_value());
    EXPECT_EQ(proxy_->trustedApplicationsData(*handle), proxy_->trustedApplicationsData(alice.aclPaths()));

    const ToolResult lookup = runTool({"secret-tool", "lookup", "account", "alice", "service", service_});
    EXPECT_EQ(lookup.exitStatus, 0);
    EXPECT_EQ(lookup.output, "hunter2");
}

TEST_F(SecKeychainProxyIntegrationTest, itemFromAnotherClientIsRepairedOnceThenFoundIntact) {
    storeWithSecretTool("alice", service_, "from secret-tool");
    const auto foreign = proxy_->fetchItem("alice", service_);
    ASSERT_TRUE(foreign.has_value());
    EXPECT_TRUE(proxy_->trustedApplicationsData(*foreign).empty());  // no access record: trusts none
    const auto made = itemPaths("alice", service_);

    EXPECT_EQ(keychain_.fetch(key("alice")), Data("from secret-tool"));
    const auto repaired = listedItems("alice", service_);
    ASSERT_EQ(repaired.size(), 1u);
    EXPECT_NE(repaired.begin()->first, made.front());
    EXPECT_EQ(repaired.begin()->second.label, "Vault alice");

    EXPECT_EQ(keychain_.fetch(key("alice")), Data("from secret-tool"));
    EXPECT_EQ(itemPaths("alice", service_), std::vector<std::string>{repaired.begin()->first});
}

TEST_F(SecKeychainProxyIntegrationTest, migrationCopiesTheSecretAndLeavesTheOlderItemInPlace) {
    const KeychainKey older = key("older");
    keychain_.store(older, Data("old secret"));
    const auto olderPaths = itemPaths("older", service_);

    const orvane::KeychainFetchOptions options{
        {orvane::KeychainFetchOptionsKey::migratingFrom, orvane::toObject(older)}};
    EXPECT_EQ(keychain_.fetch(key("alice"), options), Data("old secret"));

    EXPECT_EQ(itemPaths("older", service_), olderPaths);
    EXPECT_EQ(keychain_.fetch(older), Data("old secret"));
    const auto migrated = itemPaths("alice", service_);
    ASSERT_EQ(migrated.size(), 1u);
    EXPECT_EQ(keychain_.fetch(key("alice")), Data("old secret"));
    EXPECT_EQ(itemPaths("alice", service_), migrated);
}

TEST_F(SecKeychainProxyIntegrationTest, binarySecretsRoundTripUnchanged) {
    std::string large(1 << 20, '\0');
    std::mt19937 random(20240501);
    for (char& byte : large) {
        byte = static_cast<char>(random());
    }
    const std::map<std::string, Data> secrets{
        {"alice", Data(std::string("\0nul\0inside\0", 12))},
        {"empty", Data()},
        {"large", Data(large)},
    };
    for (const auto& [account, secret] : secrets) {
        proxy_->addItem(account, service_, "binary", "", {}, secret);
    }
    for (const auto& [account, secret] : secrets) {
        SCOPED_TRACE(account);
        const auto read = proxy_->fetchData(account, service_);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(read->size(), secret.size());
        EXPECT_TRUE(*read == secret);
    }
}

TEST_F(SecKeychainProxyIntegrationTest, severalMatchingItemsReadAsTheNewestAndAreAllDeleted) {
    storeWithSecretTool("alice", service_, "first", {"copy", "1"});
    storeWithSecretTool("alice", service_, "second", {"copy", "2"});
    ASSERT_EQ(itemPaths("alice", service_).size(), 2u);

    EXPECT_EQ(proxy_->fetchData("alice", service_), Data("second"));
    EXPECT_EQ(messageThrownBy([&] { proxy_->addItem("alice", service_, "Vault", "", {}, Data("third")); }),
              "Error '-25299' saving key data for account: alice, service: " + service_);

    proxy_->deleteItem("alice", service_);
    EXPECT_TRUE(itemPaths("alice", service_).empty());
    EXPECT_FALSE(proxy_->fetchItem("alice", service_).has_value());
    EXPECT_FALSE(proxy_->fetchData("alice", service_).has_value());
    proxy_->deleteItem("alice", service_);  // nothing left to delete: still a success
}

// The adaptor remembers where it last found an item and asks for it beside
// the next search; what another client did in between must still be seen.
TEST_F(SecKeychainProxyIntegrationTest, changesByAnotherClientAreSeenByTheNextCall) {
    proxy_->addItem("alice", service_, "Vault", "", {"/bin/sh"}, Data("mine"));
    ASSERT_EQ(proxy_->fetchData("alice", service_), Data("mine"));
    auto item = proxy_->fetchItem("alice", service_);
    ASSERT_TRUE(item.has_value());
    EXPECT_EQ(proxy_->trustedApplicationsData(*item).size(), 1u);

    storeWithSecretTool("alice", service_, "newer", {"copy", "2"});
    EXPECT_EQ(proxy_->fetchData("alice", service_), Data("newer"));
    item = proxy_->fetchItem("alice", service_);
    ASSERT_TRUE(item.has_value());
    EXPECT_TRUE(proxy_->trustedApplicationsData(*item).empty());  // the newer item has no access record

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

TEST_F(SecKeychainProxyIntegrationTest, anAccessRecordThatCannotBeDecodedIsReported) {
    storeWithSecretTool("alice", service_, "secret", {"trusted-applications", "not base64!"});
    const auto handle = proxy_->fetchItem("alice", service_);
    ASSERT_TRUE(handle.has_value());

    EXPECT_EQ(messageThrownBy([&] { proxy_->trustedApplicationsData(*handle); }),
              "Error '-26275' retrieving SecAccess for item");
}

TEST_F(SecKeychainProxyIntegrationTest, overlappingCallsFromSeveralThreadsAllSucceed) {
    proxy_->addItem("alice", service_, "Vault", "", {"/bin/sh"}, Data("shared"));
    SecKeychainProxy fresh(5s);  // its first calls race to open the connection
    std::atomic<int> succeeded{0};
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 4; ++thread) {
        threads.emplace_back([&] {
            for (int call = 0; call < 10; ++call) {
                try {
                    const auto item = fresh.fetchItem("alice", service_);
                    if (item && fresh.fetchData("alice", service_) == Data("shared") &&
                        fresh.trustedApplicationsData(*item).size() == 1) {
                        ++succeeded;
                    }
                } catch (const NSError&) {
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(succeeded.load(), 40);
}

// secretServiceOwner: the unique bus name that owns org.freedesktop.secrets,
// or "" when none does (asked so that no daemon is started by activation).
std::string secretServiceOwner() {
    const ToolResult reply = runTool({"dbus-send", "--session", "--print-reply",
                                      "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                                      "org.freedesktop.DBus.GetNameOwner", "string:org.freedesktop.secrets"});
    const auto start = reply.output.find("string \"");
    if (reply.exitStatus != 0 || start == std::string::npos) {
        return "";
    }
    const auto end = reply.output.find('"', start + 8);
    return reply.output.substr(start + 8, end - start - 8);
}

// LockedCollection: locks the default collection for one test, and unlocks it
// again afterwards by replacing the daemon with one started with the keyring's
// password (the unlock prompt cannot be answered in a headless session).
class LockedCollection {
public:
    LockedCollection() {
        const ToolResult locked =
            runTool({"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.secrets",
                     "/org/freedesktop/secrets", "org.freedesktop.Secret.Service.Lock",
                     "array:objpath:/org/freedesktop/secrets/aliases/default"});
        EXPECT_EQ(locked.exitStatus, 0);
    }
    ~LockedCollection() {
        const std::string before = secretServiceOwner();
        const char* password = std::getenv("ORVANE_TEST_KEYRING_PASSWORD");
        runTool({"gnome-keyring-daemon", "--replace", "--unlock", "--components=secrets", "--daemonize"},
                password == nullptr ? "" : password);
        const auto until = Clock::now() + 10s;
        for (std::string owner = secretServiceOwner();
             (owner.empty() || owner == before) && Clock::now() < until; owner = secretServiceOwner()) {
            std::this_thread::sleep_for(50ms);
        }
    }
    LockedCollection(const LockedCollection&) = delete;
    LockedCollection& operator=(const LockedCollection&) = delete;
};

TEST_F(SecKeychainProxyIntegrationTest, lockedCollectionFailsAsLockedWithinTheBound) {
    keychain_.store(key("alice"), Data("kept safe"));
    {
        const LockedCollection locked;
        SecKeychainProxy bounded(2s);
        const auto started = Clock::now();

        EXPECT_EQ(messageThrownBy([&] { bounded.fetchData("alice", service_); }),
                  "Error '-25293' retrieving key data for account: alice, service: " + service_);
        EXPECT_EQ(messageThrownBy([&] { bounded.fetchItem("alice", service_); }),
                  "Error '-25293' retrieving key data for account: alice, service: " + service_);
        EXPECT_EQ(messageThrownBy([&] { bounded.addItem("bob", service_, "Vault", "", {}, Data("x")); }),
                  "Error '-25293' saving key data for account: bob, service: " + service_);

        // Three calls, each bounded by 2 s plus the second a cancelled call may take to wind down.
        EXPECT_LT(Clock::now() - started, 9s);
    }
    // Unlocking restarted the daemon; the store's adaptor meets the new one.
    EXPECT_EQ(keychain_.fetch(key("alice")), Data("kept safe"));
}

// Counts what this process sends to the Secret Service over the shared
// session-bus connection, which the adaptor uses too.
struct SentToService {
    std::string owner = secretServiceOwner();
    std::atomic<int> requests{0};
};

GDBusMessage* countSentToService(GDBusConnection*, GDBusMessage* message, gboolean incoming, gpointer data) {
    auto* sent = static_cast<SentToService*>(data);
    const char* destination = g_dbus_message_get_destination(message);
    if (!incoming && destination != nullptr &&
        (sent->owner == destination || std::strcmp(destination, "org.freedesktop.secrets") == 0)) {
        ++sent->requests;
    }
    return message;
}

// A call cut short by its deadline sends nothing after it: the stalled
// service, once it resumes, finds no more than what one read asks.
TEST_F(SecKeychainProxyIntegrationTest, aDeadlineLeavesNoRequestToBeSentLater) {
    proxy_->addItem("alice", service_, "Vault", "", {}, Data("kept"));
    const glib::ObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    auto* sent = new SentToService();
    const guint filter =
        g_dbus_connection_add_filter(bus.get(), &countSentToService, sent,
                                     [](gpointer data) { delete static_cast<SentToService*>(data); });
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

// fetchFailsWithin: 0 when fetchData fails with `expectedMessage` within
// `limit`; otherwise 1, with what happened on standard error.
int fetchFailsWithin(const std::string& expectedMessage, std::chrono::milliseconds timeout,
                     Clock::duration limit) {
    const auto started = Clock::now();
    std::string message;
    try {
        SecKeychainProxy(timeout).fetchData("alice", "vault");
        message = "no error";
    } catch (const NSError& error) {
        message = error.userInfoReference()
                      .at(std::string(orvane::NSDebugDescriptionErrorKey))
                      .as<std::string>()
                      .value_or("");
    }
    const auto took = Clock::now() - started;
    if (message != expectedMessage || took > limit) {
        std::fprintf(
            stderr, "got \"%s\" after %lld ms\n", message.c_str(),
            static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
        return 1;
    }
    return 0;
}

TEST(SecKeychainProxyWithoutServiceTest, busWithoutASecretServiceIsUnavailableAtOnce) {
    expectInFreshProcess(
        [] {
            // A bus of our own that offers no services and activates none.
            testsupport::TemporaryFolder folder;
            const auto socket = folder.path() / "bus";
            const auto configuration = folder.path() / "bus.conf";
            std::ofstream(configuration)
                << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                   "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/"
                   "busconfig.dtd\">\n<busconfig><type>session</type><listen>unix:path="
                << socket.string()
                << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                   "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                   "<allow own=\"*\"/></policy></busconfig>\n";
            const pid_t daemon = ::fork();
            if (daemon == 0) {
                ::execlp("dbus-daemon", "dbus-daemon", "--nofork", "--nopidfile",
                         ("--config-file=" + configuration.string()).c_str(), static_cast<char*>(nullptr));
                ::_exit(127);
            }
            for (int attempt = 0; attempt < 100 && !std::filesystem::exists(socket); ++attempt) {
                std::this_thread::sleep_for(50ms);
            }
            ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + socket.string()).c_str(), 1);
            const int result = fetchFailsWithin(
                "Error '-25291' retrieving key data for account: alice, service: vault", 10s, 3s);
            ::kill(daemon, SIGKILL);
            ::waitpid(daemon, nullptr, 0);
            return result;
        });
}

TEST(SecKeychainProxyWithoutServiceTest, busThatNeverAnswersIsGivenUpWithinTheBound) {
    expectInFreshProcess([] {
        // A socket that accepts connections and never says a word.
        testsupport::TemporaryFolder folder;
        const auto path = (folder.path() / "silent").string();
        const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener, 8) != 0) {
            return 2;
        }
        ::setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + path).c_str(), 1);
        const int result = fetchFailsWithin(
            "Error '-25291' retrieving key data for account: alice, service: vault", 500ms, 3s);
        ::close(listener);
        return result;
    });
}

}  // namespace

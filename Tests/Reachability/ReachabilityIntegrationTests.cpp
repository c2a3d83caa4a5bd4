// NetworkReachability on real GIO monitors, each scenario in a probe process
// of its own (GIO makes one monitor per process, from the environment of the
// moment): a mock NetworkManager on a private system bus, and, as root, a
// network namespace whose default route the test adds and removes. Nothing
// here touches the machine's own buses or network.
#include "Support/TemporaryFolder.hpp"

#include <glib.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

// Runs `arguments` with the given NAME=VALUE variables added to ours. A
// running child's output is read line by line; closing its input (on
// destruction) ends the probe, and anything still running is then terminated.
class Child {
public:
    Child(std::vector<std::string> arguments, const std::vector<std::string>& variables,
          bool readOutput = true) {
        std::vector<char*> argv;
        for (auto& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        gchar** environment = g_get_environ();
        for (const auto& variable : variables) {
            const auto equals = variable.find('=');
            environment = g_environ_setenv(environment, variable.substr(0, equals).c_str(),
                                           variable.c_str() + equals + 1, TRUE);
        }
        const auto flags = G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                           (readOutput ? G_SPAWN_DEFAULT : G_SPAWN_STDOUT_TO_DEV_NULL);
        if (!g_spawn_async_with_pipes(nullptr, argv.data(), environment, GSpawnFlags(flags), nullptr, nullptr,
                                      &pid_, &input_, readOutput ? &output_ : nullptr, nullptr, nullptr)) {
            pid_ = -1;
        }
        g_strfreev(environment);
    }

    ~Child() {
        close(input_);
        close(output_);
        for (int waited = 0; pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; ++waited) {
            if (waited == 10 || waited == 100) {  // 0.2 s after its input closed, then 2 s more
                kill(pid_, waited == 10 ? SIGTERM : SIGKILL);
            }
            usleep(20'000);
        }
    }

    // The exit status once it ends; -1 if it could not run or did not exit.
    int wait() {
        int status = 0;
        const bool ended = pid_ > 0 && waitpid(pid_, &status, 0) == pid_;
        pid_ = -1;
        return ended && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    pid_t pid() const { return pid_; }

    // The next line of output, or nothing when the output stops for 10 seconds.
    std::optional<std::string> readLine() {
        std::string line;
        for (char byte = 0;; line += byte) {
            pollfd readable{output_, POLLIN, 0};
            if (poll(&readable, 1, 10'000) <= 0 || read(output_, &byte, 1) != 1) {
                return std::nullopt;
            }
            if (byte == '\n') {
                return line;
            }
        }
    }

private:
    GPid pid_ = -1;
    int input_ = -1;
    int output_ = -1;
};

int run(const std::vector<std::string>& arguments) {
    return Child(arguments, {}, false).wait();
}

const std::string probe = ORVANE_REACHABILITY_PROBE;

// A system bus of our own, listening in a temporary folder; anyone may own
// any name and send anything.
class PrivateSystemBus {
public:
    PrivateSystemBus() { address = daemon_.readLine().value_or(""); }
    std::string address;

private:
    static std::string writeConfiguration(const std::filesystem::path& folder) {
        std::ofstream(folder / "system.conf")
            << "<busconfig><type>system</type><listen>unix:dir=" << folder.string()
            << "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/><allow "
               "own=\"*\"/>"
               "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/></policy></busconfig>\n";
        return (folder / "system.conf").string();
    }

    testsupport::TemporaryFolder folder_;
    Child daemon_{{"dbus-daemon", "--config-file=" + writeConfiguration(folder_.path()), "--print-address=1",
                   "--nofork"},
                  {}};
};

// The probe is made on the main thread, or on a worker inside a private main
// context while the main thread runs the main loop.
class ReachabilityIntegration : public ::testing::TestWithParam<std::string> {};

INSTANTIATE_TEST_SUITE_P(MadeOn, ReachabilityIntegration, ::testing::Values("", "--made-on-worker"),
                         [](const auto& made) { return made.param.empty() ? "mainThread" : "worker"; });

}  // namespace

TEST_P(ReachabilityIntegration, networkManagerStateChangesReachObserversOnTheMainLoop) {
    PrivateSystemBus bus;
    ASSERT_FALSE(bus.address.empty()) << "dbus-daemon did not start";
    const std::string onTheBus = "DBUS_SYSTEM_BUS_ADDRESS=" + bus.address;
    Child networkManager({"/usr/bin/python3", "-m", "dbusmock", "--template", "networkmanager"}, {onTheBus},
                         false);
    ASSERT_EQ(
        run({"gdbus", "wait", "--address", bus.address, "--timeout", "15", "org.freedesktop.NetworkManager"}),
        0);
    // NetworkManager's global state decides network-available; connectivity goes with it.
    const auto setNetworkManager = [&](std::string connectivity, std::string state) {
        for (const auto& [method, value] :
             {std::pair{"SetConnectivity", connectivity}, std::pair{"SetGlobalConnectionState", state}}) {
            ASSERT_EQ(run({"gdbus", "call", "--address", bus.address, "--dest",
                           "org.freedesktop.NetworkManager", "--object-path", "/org/freedesktop", "--method",
                           std::string("org.freedesktop.DBus.Mock.") + method, value}),
                      0);
        }
    };

    Child reachability({probe, GetParam()}, {onTheBus, "GIO_USE_NETWORK_MONITOR=networkmanager"});
    EXPECT_EQ(reachability.readLine(), "monitor GNetworkMonitorNM");
    EXPECT_EQ(reachability.readLine(), "initial reachable");
    setNetworkManager("1", "20");  // no connectivity, disconnected
    EXPECT_EQ(reachability.readLine(), "unavailable main-thread");
    setNetworkManager("1", "10");  // asleep: still not reachable, so nothing is announced
    setNetworkManager("4", "70");  // full connectivity, connected
    EXPECT_EQ(reachability.readLine(), "available main-thread");
}

TEST(ReachabilityNamespaceIntegration, aDefaultRouteInANetworkNamespaceMakesTheNetworkReachable) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to make a network namespace and configure its links";
    }
    // A namespace of the probe's own, with only a loopback link that is down.
    Child reachability({"unshare", "--net", "--", probe}, {"GIO_USE_NETWORK_MONITOR=netlink"});
    EXPECT_EQ(reachability.readLine(), "monitor GNetworkMonitorNetlink");
    ASSERT_EQ(reachability.readLine(), "initial unreachable");
    const auto ip = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(),
                         {"nsenter", "--net=/proc/" + std::to_string(reachability.pid()) + "/ns/net", "ip"});
        ASSERT_EQ(run(arguments), 0);
    };
    // Both ends of the pair stay inside the namespace, so nothing can leave it.
    ip({"link", "add", "orvane0", "type", "veth", "peer", "name", "orvane1"});
    ip({"link", "set", "orvane0", "up"});
    ip({"link", "set", "orvane1", "up"});
    ip({"address", "add", "10.231.0.1/24", "dev", "orvane0"});
    ip({"route", "add", "default", "via", "10.231.0.2", "dev", "orvane0"});
    EXPECT_EQ(reachability.readLine(), "available main-thread");
    ip({"route", "del", "default"});
    EXPECT_EQ(reachability.readLine(), "unavailable main-thread");
}

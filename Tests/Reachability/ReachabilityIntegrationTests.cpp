// NetworkReachability on real GIO monitors, each scenario in a probe process
// of its own (GIO makes one monitor per process, from the environment of the
// moment): a mock NetworkManager on a private system bus, and, as root, a
// network namespace whose default route the test adds and removes. Nothing
// here touches the machine's own buses or network.
#include "Support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;

// A child process whose standard input stays open until it is destroyed (the
// probe stops when it closes) and whose standard output is read line by line.
class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                 bool readOutput = true) {
        int input[2];
        int output[2];
        if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        if (readOutput) {
            posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        } else {
            posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        }
        std::vector<char*> argv;
        for (const auto& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        std::vector<std::string> variables = environment;
        for (char** variable = environ; *variable != nullptr; ++variable) {
            variables.emplace_back(*variable);  // the first of a name wins: ours come first
        }
        std::vector<char*> envp;
        for (auto& variable : variables) {
            envp.push_back(variable.data());
        }
        envp.push_back(nullptr);
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        close(input[0]);
        close(output[1]);
        input_ = input[1];
        output_ = output[0];
    }

    ~ChildProcess() {
        close(input_);
        close(output_);
        if (pid_ > 0) {
            // The probe ends when its input closes; the others are told to.
            int status = 0;
            for (int tries = 0; tries < 50 && waitpid(pid_, &status, WNOHANG) == 0; ++tries) {
                if (tries == 10) {
                    kill(pid_, SIGTERM);
                }
                usleep(20'000);
            }
            if (waitpid(pid_, &status, WNOHANG) == 0) {
                kill(pid_, SIGKILL);
                waitpid(pid_, &status, 0);
            }
        }
    }

    pid_t pid() const { return pid_; }

    // The next line of output, or nothing when none comes within `limit`.
    std::optional<std::string> readLine(std::chrono::milliseconds limit = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (const auto end = buffered_.find('\n'); end != std::string::npos) {
                std::string line = buffered_.substr(0, end);
                buffered_.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd readable{output_, POLLIN, 0};
            if (left.count() <= 0 || poll(&readable, 1, static_cast<int>(left.count())) <= 0) {
                return std::nullopt;
            }
            char chunk[256];
            const ssize_t count = read(output_, chunk, sizeof chunk);
            if (count <= 0) {
                return std::nullopt;
            }
            buffered_.append(chunk, static_cast<std::size_t>(count));
        }
    }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string buffered_;
};

// Runs a command to its end and gives its exit status (-1 if it could not run).
int run(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {}) {
    ChildProcess child(arguments, environment, false);
    int status = 0;
    if (child.pid() <= 0 || waitpid(child.pid(), &status, 0) != child.pid()) {
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

const std::string probe = ORVANE_REACHABILITY_PROBE;

// A system bus of our own: anyone may own any name and send anything.
class PrivateSystemBus {
public:
    PrivateSystemBus() {
        const auto config = folder_.path() / "system.conf";
        std::ofstream(config) << R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:dir=)" << folder_.path().string()
                              << R"(</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
)";
        daemon_.emplace(std::vector<std::string>{"dbus-daemon", "--config-file=" + config.string(),
                                                 "--print-address=1", "--nofork"},
                        std::vector<std::string>{});
        address_ = daemon_->readLine().value_or("");
    }

    const std::string& address() const { return address_; }

private:
    testsupport::TemporaryFolder folder_;
    std::optional<ChildProcess> daemon_;
    std::string address_;
};

}  // namespace

// Each run makes its probe the given way: on the main thread, or on a worker
// inside a private main context while the main thread runs the main loop.
class ReachabilityIntegration : public ::testing::TestWithParam<std::vector<std::string>> {};

INSTANTIATE_TEST_SUITE_P(MadeOn, ReachabilityIntegration,
                         ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"--made-on-worker"}),
                         [](const auto& made) { return made.param.empty() ? "mainThread" : "worker"; });

TEST_P(ReachabilityIntegration, networkManagerStateChangesReachObserversOnTheMainLoop) {
    PrivateSystemBus bus;
    ASSERT_FALSE(bus.address().empty()) << "dbus-daemon did not start";
    const std::vector<std::string> onTheBus = {"DBUS_SYSTEM_BUS_ADDRESS=" + bus.address()};
    ChildProcess networkManager({"/usr/bin/python3", "-m", "dbusmock", "--template", "networkmanager"}, onTheBus,
                                false);
    ASSERT_EQ(run({"gdbus", "wait", "--address", bus.address(), "--timeout", "15", "org.freedesktop.NetworkManager"}),
              0);
    // NetworkManager's global state decides network-available; connectivity goes with it, as it would.
    const auto setNetworkManager = [&](const char* connectivity, const char* state) {
        for (const auto& [method, value] : {std::pair{"SetConnectivity", connectivity},
                                            std::pair{"SetGlobalConnectionState", state}}) {
            ASSERT_EQ(run({"gdbus", "call", "--address", bus.address(), "--dest", "org.freedesktop.NetworkManager",
                           "--object-path", "/org/freedesktop", "--method",
                           std::string("org.freedesktop.DBus.Mock.") + method, value}),
                      0);
        }
    };

    std::vector<std::string> environment = onTheBus;
    environment.emplace_back("GIO_USE_NETWORK_MONITOR=networkmanager");
    std::vector<std::string> arguments = {probe, "60"};
    arguments.insert(arguments.end(), GetParam().begin(), GetParam().end());
    ChildProcess reachability(arguments, environment);
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
    ChildProcess reachability({"unshare", "--net", "--", probe, "60"}, {"GIO_USE_NETWORK_MONITOR=netlink"});
    EXPECT_EQ(reachability.readLine(), "monitor GNetworkMonitorNetlink");
    ASSERT_EQ(reachability.readLine(), "initial unreachable");

    const std::string inNamespace = "--net=/proc/" + std::to_string(reachability.pid()) + "/ns/net";
    const auto ip = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), {"nsenter", inNamespace, "ip"});
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

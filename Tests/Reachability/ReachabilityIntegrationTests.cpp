// NetworkReachability on real GIO monitors, each scenario in a probe process
// of its own (GIO makes one monitor per process, from the environment of the
// moment): a mock NetworkManager on a private system bus, and, as root, a
// network namespace whose default route the test adds and removes. Nothing
// here touches the machine's own buses or network.
#include "Support/PrivateBus.hpp"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

using testsupport::ChildProcess;
using testsupport::PrivateBus;
using testsupport::run;

const std::string probe = ORVANE_REACHABILITY_PROBE;

// The probe is made on the main thread, or on a worker inside a private main
// context while the main thread runs the main loop.
class ReachabilityIntegration : public ::testing::TestWithParam<std::string> {};

INSTANTIATE_TEST_SUITE_P(MadeOn, ReachabilityIntegration, ::testing::Values("", "--made-on-worker"),
                         [](const auto& made) { return made.param.empty() ? "mainThread" : "worker"; });

}  // namespace

TEST_P(ReachabilityIntegration, networkManagerStateChangesReachObserversOnTheMainLoop) {
    PrivateBus bus(PrivateBus::Kind::system);
    ASSERT_FALSE(bus.address().empty()) << "dbus-daemon did not start";
    const std::string onTheBus = "DBUS_SYSTEM_BUS_ADDRESS=" + bus.address();
    ChildProcess networkManager({"/usr/bin/python3", "-m", "dbusmock", "--template", "networkmanager"}, {onTheBus},
                                ChildProcess::Output::discard);
    ASSERT_TRUE(bus.waitForOwner("org.freedesktop.NetworkManager"));
    // NetworkManager's global state decides network-available; connectivity goes with it.
    const auto setNetworkManager = [&](std::string connectivity, std::string state) {
        for (const auto& [method, value] :
             {std::pair{"SetConnectivity", connectivity}, std::pair{"SetGlobalConnectionState", state}}) {
            ASSERT_NE(bus.call("org.freedesktop.NetworkManager", "/org/freedesktop",
                               std::string("org.freedesktop.DBus.Mock.") + method, {value}),
                      "");
        }
    };

    ChildProcess reachability({probe, GetParam()}, {onTheBus, "GIO_USE_NETWORK_MONITOR=networkmanager"},
                              ChildProcess::Output::capture);
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
    ChildProcess reachability({"unshare", "--net", "--", probe}, {"GIO_USE_NETWORK_MONITOR=netlink"},
                              ChildProcess::Output::capture);
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

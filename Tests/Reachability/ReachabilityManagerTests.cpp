#include "Core/ReachabilityManager.hpp"

#include "Platform/NotificationCenter.hpp"
#include "Reachability/BaseMonitor.hpp"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

using netrune::ReachabilityManager;

namespace {

// Records the statuses the manager posts, and that it is their sender.
class PostedStatuses {
public:
    PostedStatuses() {
        token_ = orvane::NotificationCenter::defaultCenter().addObserver(
            std::string(netrune::kReachabilityStatusDidChangeNotification), nullptr,
            [this](const orvane::Notification& notification) {
                senders.push_back(notification.object().get());
                statuses.push_back(
                    notification.userInfo()->at(std::string(netrune::kReachabilityStatusKey)).as<std::int64_t>().value_or(-1));
            });
    }
    ~PostedStatuses() { orvane::NotificationCenter::defaultCenter().removeObserver(token_); }

    std::vector<std::int64_t> statuses;
    std::vector<const orvane::NSObject*> senders;

private:
    orvane::NotificationCenter::ObserverToken token_;
};

// What GIO's monitors emit: the signal carries the new availability; the
// property notification makes the handler read it (always TRUE on the base monitor).
void emitNetworkChanged(bool available) {
    g_signal_emit_by_name(g_network_monitor_get_default(), "network-changed", gboolean(available));
}
void notifyAvailability() {
    g_object_notify(G_OBJECT(g_network_monitor_get_default()), "network-available");
}

}  // namespace

TEST(ReachabilityManager, onTheBaseMonitorStartMonitoringReportsThatNoChangeWillCome) {
    ASSERT_TRUE(reachabilitytests::baseMonitorChosen);
    auto manager = ReachabilityManager::reachabilityManagerWithHostName("www.example.org");
    EXPECT_EQ(manager->hostName(), "www.example.org");
    EXPECT_TRUE(manager->reachable());
    EXPECT_EQ(manager->monitorName(), "GNetworkMonitorBase");
    const auto error = manager->startMonitoring();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->domain(), netrune::kReachabilityErrorDomain);
    EXPECT_EQ(error->code(), netrune::kReachabilityErrorBaseMonitor);
}

TEST(ReachabilityManager, postsEachChangeOnceFromEitherSignalAndOnlyWhileMonitoring) {
    auto manager = ReachabilityManager::reachabilityManagerWithHostName("www.example.org");
    PostedStatuses posted;
    emitNetworkChanged(false);  // not monitoring yet
    EXPECT_TRUE(posted.statuses.empty());
    manager->startMonitoring();
    emitNetworkChanged(false);
    emitNetworkChanged(false);
    EXPECT_FALSE(manager->reachable());
    notifyAvailability();
    notifyAvailability();
    emitNetworkChanged(true);
    EXPECT_TRUE(manager->reachable());
    manager->startMonitoring();  // again: no second connection
    emitNetworkChanged(false);
    EXPECT_EQ(posted.statuses, (std::vector<std::int64_t>{netrune::kReachabilityStatusNotReachable,
                                                          netrune::kReachabilityStatusReachable,
                                                          netrune::kReachabilityStatusNotReachable}));
    EXPECT_EQ(posted.senders, (std::vector<const orvane::NSObject*>(3, manager.get())));
}

TEST(ReachabilityManager, aDestroyedManagerIsDisconnectedAndPostsNothing) {
    PostedStatuses posted;
    {
        auto manager = ReachabilityManager::reachabilityManagerWithHostName("www.example.org");
        manager->startMonitoring();
    }
    emitNetworkChanged(false);
    notifyAvailability();
    EXPECT_TRUE(posted.statuses.empty());
    EXPECT_EQ(g_signal_handler_find(g_network_monitor_get_default(), G_SIGNAL_MATCH_ID,
                                    g_signal_lookup("network-changed", G_TYPE_NETWORK_MONITOR), 0, nullptr, nullptr,
                                    nullptr),
              0u);
}

#include "Core/ReachabilityManager.hpp"

#include "Platform/Foundation/NotificationCenter.hpp"
#include "Reachability/BaseMonitor.hpp"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using netrune::ReachabilityManager;

namespace {

// The statuses posted while it lives, each checked to come from `sender`.
struct PostedStatuses {
    explicit PostedStatuses(const void* sender = nullptr)
        : token(orvane::NotificationCenter::defaultCenter().addObserver(
              std::string(netrune::kReachabilityStatusDidChangeNotification), nullptr,
              [this, sender](const orvane::Notification& posted) {
                  EXPECT_EQ(posted.object().get(), sender);
                  statuses.push_back(posted.userInfo()
                                         ->at(std::string(netrune::kReachabilityStatusKey))
                                         .as<std::int64_t>()
                                         .value_or(-1));
              })) {}
    ~PostedStatuses() { orvane::NotificationCenter::defaultCenter().removeObserver(token); }
    std::vector<std::int64_t> statuses;
    orvane::NotificationCenter::ObserverToken token;
};

// What GIO's monitors emit: the signal carries the availability; on the
// property notification the handler reads it (always TRUE on the base monitor).
void emitNetworkChanged(bool available) {
    g_signal_emit_by_name(g_network_monitor_get_default(), "network-changed", gboolean(available));
}
void notifyAvailability() {
    g_object_notify(G_OBJECT(g_network_monitor_get_default()), "network-available");
}

}  // namespace

TEST(ReachabilityManager, postsEachChangeOnceFromEitherSignalOnlyWhileMonitoring) {
    ASSERT_TRUE(reachabilitytests::baseMonitorChosen);
    auto manager = ReachabilityManager::reachabilityManagerWithHostName("www.example.org");
    EXPECT_EQ(manager->monitorName(), "GNetworkMonitorBase");
    EXPECT_TRUE(manager->reachable());
    PostedStatuses posted(manager.get());
    emitNetworkChanged(false);  // not monitoring yet

    const auto error = manager->startMonitoring();
    ASSERT_TRUE(error.has_value());  // the base monitor never changes by itself
    EXPECT_EQ(error->domain(), netrune::kReachabilityErrorDomain);
    EXPECT_EQ(error->code(), netrune::kReachabilityErrorBaseMonitor);
    emitNetworkChanged(false);
    emitNetworkChanged(false);
    EXPECT_FALSE(manager->reachable());
    notifyAvailability();
    notifyAvailability();
    emitNetworkChanged(true);
    manager->startMonitoring();  // again: no second connection
    emitNetworkChanged(false);
    EXPECT_EQ(posted.statuses, (std::vector<std::int64_t>{0, 2, 0}));
}

TEST(ReachabilityManager, aDestroyedManagerIsDisconnectedAndPostsNothing) {
    PostedStatuses posted;
    ReachabilityManager::reachabilityManagerWithHostName("www.example.org")->startMonitoring();
    emitNetworkChanged(false);
    notifyAvailability();
    EXPECT_TRUE(posted.statuses.empty());
    EXPECT_EQ(g_signal_handler_find(g_network_monitor_get_default(), G_SIGNAL_MATCH_ID,
                                    g_signal_lookup("network-changed", G_TYPE_NETWORK_MONITOR), 0, nullptr,
                                    nullptr, nullptr),
              0u);
}

#include "Core/NotificationListening.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

using orvane::Notification;
using orvane::NotificationCenter;
using orvane::ObjectDictionary;

namespace {

class Manager : public orvane::NSObject {};

// Shaped like a reachability monitor: keeps every status it is told.
class Monitor {
public:
    void networkDidChange(const Notification& notification) {
        statuses.push_back(notification.userInfo()->at("status").as<int>().value_or(-1));
    }
    std::vector<int> statuses;
};

constexpr const char* statusDidChange = "kReachabilityStatusDidChangeNotification";

ObjectDictionary status(int value) {
    return ObjectDictionary{{"status", value}};
}

}  // namespace

TEST(NotificationListening, callsTheSelectorForThatNameFromTheGivenSender) {
    NotificationCenter center;
    auto manager = std::make_shared<Manager>();
    auto anySender = std::make_shared<Monitor>();
    auto oneSender = std::make_shared<Monitor>();
    tarvelapple::listen(statusDidChange, anySender, &Monitor::networkDidChange, center, std::nullopt);
    tarvelapple::listen(statusDidChange, oneSender, &Monitor::networkDidChange, center, manager);

    center.post(statusDidChange, manager, status(2));
    center.post(statusDidChange, std::make_shared<Manager>(), status(1));
    center.post("SomethingElse", manager, status(7));
    EXPECT_EQ(anySender->statuses, (std::vector<int>{2, 1}));
    EXPECT_EQ(oneSender->statuses, (std::vector<int>{2}));
}

TEST(NotificationListening, holdsTheObserverWeaklyOnTheDefaultCenter) {
    auto monitor = std::make_shared<Monitor>();
    const std::weak_ptr<Monitor> watch = monitor;
    const auto token = tarvelapple::listen("orvane.tests.Listening", monitor, &Monitor::networkDidChange);
    NotificationCenter::defaultCenter().post("orvane.tests.Listening", nullptr, status(5));
    NotificationCenter::defaultCenter().removeObserver(token);
    NotificationCenter::defaultCenter().post("orvane.tests.Listening", nullptr, status(6));
    EXPECT_EQ(monitor->statuses, (std::vector<int>{5}));

    tarvelapple::listen("orvane.tests.Listening", monitor, &Monitor::networkDidChange);
    monitor.reset();
    EXPECT_TRUE(watch.expired()) << "the registration kept the observer alive";
}

#include "Reachability/NetworkReachability.hpp"

#include "Core/ReachabilityManager.hpp"
#include "Platform/Foundation/NotificationCenter.hpp"
#include "Reachability/BaseMonitor.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace orvane;

namespace {

// Every log call as "level|message|function|file".
class RecordingLogger : public scrivlog::Logger {
public:
    void info(const MessageMaker& message, std::string_view function, std::string_view file, int) override {
        entries.push_back("info|" + message() + "|" + std::string(function) + "|" + std::string(file));
    }
    void warning(const MessageMaker& message, std::string_view function, std::string_view file,
                 int) override {
        entries.push_back("warning|" + message() + "|" + std::string(function) + "|" + std::string(file));
    }
    std::vector<std::string> entries;
};

// Journals "<name> available" / "<name> unavailable"; `outageOnly` implements only the latter.
class Observer : public NetworkReachabilityObserving {
public:
    Observer(std::string name, std::vector<std::string>& journal, bool outageOnly = false)
        : name_(std::move(name)), journal_(journal), outageOnly_(outageOnly) {}
    void networkDidBecomeAvailable() override {
        if (outageOnly_) {
            NetworkReachabilityObserving::networkDidBecomeAvailable();
        } else {
            journal_.push_back(name_ + " available");
        }
    }
    void networkDidBecomeUnavailable() override { journal_.push_back(name_ + " unavailable"); }

private:
    std::string name_;
    std::vector<std::string>& journal_;
    bool outageOnly_;
};

void postUserInfo(std::optional<ObjectDictionary> userInfo) {
    NotificationCenter::defaultCenter().post(
        std::string(netrune::kReachabilityStatusDidChangeNotification), nullptr, std::move(userInfo));
}
void postStatus(Object status) {
    postUserInfo(ObjectDictionary{{std::string(netrune::kReachabilityStatusKey), std::move(status)}});
}

const std::string source = "|Sources/Reachability/NetworkReachability";

// On the base monitor the first state is "reachable" and starting to monitor fails.
class NetworkReachabilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(reachabilitytests::baseMonitorChosen);
        reachability->addObserver(observer);
        ASSERT_TRUE(reachability->reachable());
        ASSERT_EQ(logger->entries.size(), 1u);  // the warning; see monitoringThatCannotWork...
        logger->entries.clear();
    }

    std::shared_ptr<RecordingLogger> logger = std::make_shared<RecordingLogger>();
    std::shared_ptr<NetworkReachability> reachability = NetworkReachability::create(logger);
    std::vector<std::string> journal;
    std::shared_ptr<Observer> observer = std::make_shared<Observer>("observer", journal);
};

}  // namespace

TEST_F(NetworkReachabilityTest, eachChangeIsStoredLoggedAndAnnouncedOnceAndRepeatsAreSilent) {
    for (const int status : {0, 0, 2, 2, 7}) {  // every non-zero status is reachable
        postStatus(Object(status));
        EXPECT_EQ(reachability->reachable(), status != 0);
    }
    EXPECT_EQ(journal, (std::vector<std::string>{"observer unavailable", "observer available"}));
    EXPECT_EQ(logger->entries, (std::vector<std::string>{"info|Network is NOT reachable|reachable" + source,
                                                         "info|Network is reachable|reachable" + source}));
}

TEST_F(NetworkReachabilityTest, notificationsWithoutAnIntegerStatusChangeNothing) {
    const std::string key(netrune::kReachabilityStatusKey);
    for (const auto& userInfo : std::vector<std::optional<ObjectDictionary>>{
             std::nullopt, ObjectDictionary{}, ObjectDictionary{{"status", 0}}, ObjectDictionary{{key, "0"}},
             ObjectDictionary{{key, false}}, ObjectDictionary{{key, 0.5}},
             ObjectDictionary{{key, Object()}}}) {
        postUserInfo(userInfo);
    }
    EXPECT_TRUE(reachability->reachable());
    EXPECT_TRUE(journal.empty());
    EXPECT_TRUE(logger->entries.empty());
}

TEST_F(NetworkReachabilityTest, observersAreCalledNewestFirstAndOnlyForWhatTheyImplementWhileTheyLive) {
    auto outage = std::make_shared<Observer>("outage", journal, true);
    auto gone = std::make_shared<Observer>("gone", journal);
    auto removed = std::make_shared<Observer>("removed", journal);
    auto newest = std::make_shared<Observer>("newest", journal);
    for (const auto& added : std::vector<std::shared_ptr<Observer>>{outage, gone, removed, newest}) {
        reachability->addObserver(added);
    }
    gone.reset();
    reachability->removeObserver(removed);
    postStatus(Object(0));
    postStatus(Object(2));
    EXPECT_EQ(journal,
              (std::vector<std::string>{"newest unavailable", "outage unavailable", "observer unavailable",
                                        "newest available", "observer available"}));
}

TEST_F(NetworkReachabilityTest, theSetterStoresBeforeItAnnounces) {
    struct Reader : NetworkReachabilityObserving {
        void networkDidBecomeUnavailable() override { seen = reachability->reachable(); }
        NetworkReachability* reachability = nullptr;
        std::optional<bool> seen;
    };
    auto reader = std::make_shared<Reader>();
    reader->reachability = reachability.get();
    reachability->addObserver(reader);
    reachability->setReachable(false);
    EXPECT_EQ(reader->seen, false);
}

TEST(NetworkReachability, monitoringThatCannotWorkIsOneWarningAndTheSubscriptionStaysWithOrWithoutALogger) {
    auto logger = std::make_shared<RecordingLogger>();
    auto logged = NetworkReachability::create(logger);
    ASSERT_EQ(logger->entries.size(), 1u);
    EXPECT_TRUE(logger->entries[0].starts_with(
        "warning|Received notification error: Error Domain=Netrune.ReachabilityManager Code=2 "))
        << logger->entries[0];
    EXPECT_TRUE(logger->entries[0].ends_with("|startNetworkMonitoring()" + source)) << logger->entries[0];

    auto silent = NetworkReachability::create();
    std::vector<std::string> journal;
    auto observer = std::make_shared<Observer>("observer", journal);
    silent->addObserver(observer);
    postStatus(Object(0));
    EXPECT_FALSE(logged->reachable());
    EXPECT_EQ(journal, (std::vector<std::string>{"observer unavailable"}));
}

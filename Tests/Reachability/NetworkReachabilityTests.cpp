#include "Reachability/NetworkReachability.hpp"

#include "Core/Logger.hpp"
#include "Core/ReachabilityManager.hpp"
#include "Platform/NotificationCenter.hpp"
#include "Reachability/BaseMonitor.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

using orvane::NetworkReachability;
using orvane::NetworkReachabilityObserving;
using orvane::Object;
using orvane::ObjectDictionary;

namespace {

using reachabilitytests::baseMonitorChosen;

struct LogEntry {
    std::string level;
    std::string message;
    std::string function;
    std::string file;
    friend bool operator==(const LogEntry&, const LogEntry&) = default;
};

class RecordingLogger : public scrivlog::Logger {
public:
    void info(const MessageMaker& message, std::string_view function, std::string_view file, int line) override {
        record("info", message, function, file, line);
    }
    void warning(const MessageMaker& message, std::string_view function, std::string_view file,
                 int line) override {
        record("warning", message, function, file, line);
    }
    std::vector<LogEntry> entries;

private:
    void record(std::string level, const MessageMaker& message, std::string_view function, std::string_view file,
                int line) {
        EXPECT_GT(line, 0);
        entries.push_back({std::move(level), message(), std::string(function), std::string(file)});
    }
};

// Records its calls into a shared journal, prefixed with its name.
class Observer : public NetworkReachabilityObserving {
public:
    Observer(std::string name, std::vector<std::string>& journal) : name_(std::move(name)), journal_(journal) {}
    void networkDidBecomeAvailable() override { journal_.push_back(name_ + " available"); }
    void networkDidBecomeUnavailable() override { journal_.push_back(name_ + " unavailable"); }

private:
    std::string name_;
    std::vector<std::string>& journal_;
};

// Implements only the unavailable operation.
class OutageObserver : public NetworkReachabilityObserving {
public:
    explicit OutageObserver(std::vector<std::string>& journal) : journal_(journal) {}
    void networkDidBecomeUnavailable() override { journal_.push_back("outage unavailable"); }

private:
    std::vector<std::string>& journal_;
};

void postUserInfo(std::optional<ObjectDictionary> userInfo) {
    orvane::NotificationCenter::defaultCenter().post(std::string(netrune::kReachabilityStatusDidChangeNotification),
                                                     nullptr, std::move(userInfo));
}

void postStatus(Object status) {
    postUserInfo(ObjectDictionary{{std::string(netrune::kReachabilityStatusKey), std::move(status)}});
}

const std::string file = "Sources/Reachability/NetworkReachability";

class NetworkReachabilityTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(baseMonitorChosen);
        reachability = NetworkReachability::create(logger);
        observer = std::make_shared<Observer>("observer", journal);
        reachability->addObserver(observer);
        logger->entries.clear();  // the base monitor's warning; see startMonitoringFailure
    }

    std::shared_ptr<RecordingLogger> logger = std::make_shared<RecordingLogger>();
    std::shared_ptr<NetworkReachability> reachability;
    std::vector<std::string> journal;
    std::shared_ptr<Observer> observer;
};

}  // namespace

TEST_F(NetworkReachabilityTest, aStatusChangeIsStoredLoggedAndAnnouncedOnceAndRepeatsAreSilent) {
    ASSERT_TRUE(reachability->reachable());  // the base monitor's first state
    postStatus(Object(0));
    EXPECT_FALSE(reachability->reachable());
    postStatus(Object(0));
    postStatus(Object(2));
    EXPECT_TRUE(reachability->reachable());
    postStatus(Object(2));
    postStatus(Object(7));  // every non-zero status is reachable
    EXPECT_TRUE(reachability->reachable());
    EXPECT_EQ(journal, (std::vector<std::string>{"observer unavailable", "observer available"}));
    EXPECT_EQ(logger->entries, (std::vector<LogEntry>{{"info", "Network is NOT reachable", "reachable", file},
                                                      {"info", "Network is reachable", "reachable", file}}));
}

TEST_F(NetworkReachabilityTest, notificationsWithoutAnIntegerStatusChangeNothing) {
    const std::vector<std::optional<ObjectDictionary>> ignored = {
        std::nullopt,
        ObjectDictionary{},
        ObjectDictionary{{"status", Object(0)}},
        ObjectDictionary{{std::string(netrune::kReachabilityStatusKey), Object("0")}},
        ObjectDictionary{{std::string(netrune::kReachabilityStatusKey), Object(false)}},
        ObjectDictionary{{std::string(netrune::kReachabilityStatusKey), Object(0.5)}},
        ObjectDictionary{{std::string(netrune::kReachabilityStatusKey), Object()}},
    };
    for (const auto& userInfo : ignored) {
        postUserInfo(userInfo);
    }
    EXPECT_TRUE(reachability->reachable());
    EXPECT_TRUE(journal.empty());
    EXPECT_TRUE(logger->entries.empty());
}

TEST_F(NetworkReachabilityTest, observersAreCalledNewestFirstEachOnlyForWhatItImplements) {
    auto outage = std::make_shared<OutageObserver>(journal);
    auto newest = std::make_shared<Observer>("newest", journal);
    reachability->addObserver(outage);
    reachability->addObserver(newest);
    postStatus(Object(0));
    postStatus(Object(2));
    EXPECT_EQ(journal, (std::vector<std::string>{"newest unavailable", "outage unavailable", "observer unavailable",
                                                 "newest available", "observer available"}));
}

TEST_F(NetworkReachabilityTest, aDestroyedOrRemovedObserverIsSkippedAndTheOthersStillCalled) {
    auto gone = std::make_shared<Observer>("gone", journal);
    auto removed = std::make_shared<Observer>("removed", journal);
    auto last = std::make_shared<Observer>("last", journal);
    reachability->addObserver(gone);
    reachability->addObserver(removed);
    reachability->addObserver(last);
    gone.reset();
    reachability->removeObserver(removed);
    postStatus(Object(0));
    EXPECT_EQ(journal, (std::vector<std::string>{"last unavailable", "observer unavailable"}));
}

TEST_F(NetworkReachabilityTest, theSetterLogsAndAnnouncesLikeANotificationAfterStoring) {
    bool seenDuringCall = true;
    class Reader : public NetworkReachabilityObserving {
    public:
        Reader(NetworkReachability& reachability, bool& seen) : reachability_(reachability), seen_(seen) {}
        void networkDidBecomeUnavailable() override { seen_ = reachability_.reachable(); }

    private:
        NetworkReachability& reachability_;
        bool& seen_;
    };
    auto reader = std::make_shared<Reader>(*reachability, seenDuringCall);
    reachability->addObserver(reader);
    reachability->setReachable(true);  // unchanged
    reachability->setReachable(false);
    EXPECT_FALSE(seenDuringCall);
    EXPECT_EQ(journal, (std::vector<std::string>{"observer unavailable"}));
    EXPECT_EQ(logger->entries, (std::vector<LogEntry>{{"info", "Network is NOT reachable", "reachable", file}}));
}

TEST(NetworkReachability, withoutALoggerChangesAreStillAnnounced) {
    auto reachability = NetworkReachability::create();
    std::vector<std::string> journal;
    auto observer = std::make_shared<Observer>("observer", journal);
    reachability->addObserver(observer);
    postStatus(Object(0));
    EXPECT_FALSE(reachability->reachable());
    EXPECT_EQ(journal, (std::vector<std::string>{"observer unavailable"}));
}

TEST(NetworkReachability, startMonitoringFailureIsAWarningAndTheFirstStateIsStoredSilently) {
    ASSERT_TRUE(baseMonitorChosen);
    auto logger = std::make_shared<RecordingLogger>();
    auto reachability = NetworkReachability::create(logger);
    EXPECT_TRUE(reachability->reachable());
    ASSERT_EQ(logger->entries.size(), 1u);
    const LogEntry& entry = logger->entries.front();
    EXPECT_EQ(entry.level, "warning");
    EXPECT_EQ(entry.function, "startNetworkMonitoring()");
    EXPECT_EQ(entry.file, file);
    EXPECT_EQ(entry.message.rfind("Received notification error: Error Domain=Netrune.ReachabilityManager Code=2 ", 0),
              0u)
        << entry.message;
    // Monitoring is in place all the same.
    postStatus(Object(0));
    EXPECT_FALSE(reachability->reachable());
}

TEST(NetworkReachability, aDestroyedMonitorIsNeverCalled) {
    std::vector<std::string> journal;
    auto observer = std::make_shared<Observer>("observer", journal);
    {
        auto reachability = NetworkReachability::create();
        reachability->addObserver(observer);
    }
    postStatus(Object(0));
    EXPECT_TRUE(journal.empty());
}

#include "Reachability/NetworkReachability.hpp"

#include "Core/NotificationListening.hpp"
#include "Core/ReachabilityManager.hpp"
#include "Platform/Foundation/Notification.hpp"

#include <cstdint>
#include <string>

namespace orvane {

namespace {

// The file name the log lines carry: this source's path in the project,
// without the language's extension.
constexpr std::string_view sourceFile = "Sources/Reachability/NetworkReachability";

}  // namespace

std::shared_ptr<NetworkReachability> NetworkReachability::create(std::shared_ptr<scrivlog::Logger> logger) {
    auto reachability = std::make_shared<NetworkReachability>(Passkey{}, std::move(logger));
    // The subscription needs the shared owner, so monitoring starts once there is one.
    reachability->startNetworkMonitoring();
    return reachability;
}

NetworkReachability::NetworkReachability(Passkey, std::shared_ptr<scrivlog::Logger> logger)
    : reachability_(
          netrune::ReachabilityManager::reachabilityManagerWithHostName(std::string(targetHostName))),
      logger_(std::move(logger)),
      reachable_(reachability_->reachable()) {}

NetworkReachability::~NetworkReachability() {
    NotificationCenter::defaultCenter().removeObserver(subscription_);
}

void NetworkReachability::setReachable(bool reachable) {
    const bool old = reachable_;
    reachable_ = reachable;
    if (reachable == old) {
        return;
    }
    if (logger_) {
        logger_->info(
            [reachable] {
                return std::string(reachable ? "Network is reachable" : "Network is NOT reachable");
            },
            "reachable", sourceFile, __LINE__);
    }
    observers_.invoke([reachable](NetworkReachabilityObserving& observer) {
        if (reachable) {
            observer.networkDidBecomeAvailable();
        } else {
            observer.networkDidBecomeUnavailable();
        }
    });
}

void NetworkReachability::addObserver(const std::shared_ptr<NetworkReachabilityObserving>& observer) {
    observers_ += observer;
}

void NetworkReachability::removeObserver(const std::shared_ptr<NetworkReachabilityObserving>& observer) {
    observers_ -= observer;
}

void NetworkReachability::startNetworkMonitoring() {
    const std::optional<std::shared_ptr<NSObject>> anySender;
    subscription_ = tarvelapple::listen(netrune::kReachabilityStatusDidChangeNotification, shared_from_this(),
                                        &NetworkReachability::networkDidChange,
                                        NotificationCenter::defaultCenter(), anySender);
    if (const auto error = reachability_->startMonitoring(); error && logger_) {
        logger_->warning([&error] { return "Received notification error: " + error->description(); },
                         "startNetworkMonitoring()", sourceFile, __LINE__);
    }
}

void NetworkReachability::networkDidChange(const Notification& notification) {
    const auto& userInfo = notification.userInfo();
    if (!userInfo) {
        return;
    }
    const auto entry = userInfo->find(netrune::kReachabilityStatusKey);
    if (entry == userInfo->end()) {
        return;
    }
    const auto status = entry->second.as<std::int64_t>();
    if (!status) {
        return;
    }
    setReachable(*status != netrune::kReachabilityStatusNotReachable);
}

}  // namespace orvane

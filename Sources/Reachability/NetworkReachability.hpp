// NetworkReachability: tells the application whether the network is
// reachable and calls its observers when that changes.
//
// It owns a netrune::ReachabilityManager (made for one fixed host, which is
// never contacted; see ReachabilityManager for what "reachable" means on
// Linux), listens on the default NotificationCenter for the manager's
// kReachabilityStatusDidChangeNotification, and keeps the last state. The
// first state, read at construction, is stored silently; every later change
// is stored, then logged through the optional scrivlog::Logger (info level),
// then announced to the observers, most recently added first. A repeat of the
// current state does nothing. If the manager cannot monitor, a warning is
// logged and the first state stays.
//
// Ownership: owns the manager and the logger; holds observers weakly (a
// destroyed observer is skipped and dropped). Its notification registration
// holds it weakly and ends with it.
//
// Threads: no lock and no queue of its own. A change is handled on the thread
// that posts the notification — the main loop for the system's changes — and
// observers are called there before the handler returns. Call setReachable,
// addObserver and removeObserver on that same thread.
//
//   auto reachability = orvane::NetworkReachability::create(std::make_shared<scrivlog::SystemLogger>());
//   reachability->addObserver(statusBar);      // std::shared_ptr<StatusBar>
//   if (!reachability->reachable()) statusBar->showOffline();
#pragma once

#include "Concurrency/MulticastDelegate.hpp"
#include "Core/Logger.hpp"
#include "Platform/Foundation/NotificationCenter.hpp"
#include "Reachability/NetworkReachabilityType.hpp"

#include <memory>
#include <string_view>

namespace netrune {
class ReachabilityManager;
}

namespace orvane {

class Notification;

class NetworkReachability final : public NetworkReachabilityType,
                                  public std::enable_shared_from_this<NetworkReachability> {
    struct Passkey {};

public:
    // The host the manager is made for: a plain domain name. It is never resolved or contacted.
    static constexpr std::string_view targetHostName = "www.debian.org";

    // Makes the manager, reads the first state and starts monitoring.
    static std::shared_ptr<NetworkReachability> create(std::shared_ptr<scrivlog::Logger> logger = nullptr);

    NetworkReachability(Passkey, std::shared_ptr<scrivlog::Logger> logger);
    ~NetworkReachability() override;
    NetworkReachability(const NetworkReachability&) = delete;
    NetworkReachability& operator=(const NetworkReachability&) = delete;

    bool reachable() const override { return reachable_; }
    // Stores the state; when it differs from the old one, logs and announces it.
    void setReachable(bool reachable);

    void addObserver(const std::shared_ptr<NetworkReachabilityObserving>& observer) override;
    void removeObserver(const std::shared_ptr<NetworkReachabilityObserving>& observer) override;

private:
    void startNetworkMonitoring();
    void networkDidChange(const Notification& notification);

    std::shared_ptr<netrune::ReachabilityManager> reachability_;
    MulticastDelegate<NetworkReachabilityObserving> observers_;
    std::shared_ptr<scrivlog::Logger> logger_;
    bool reachable_ = false;
    NotificationCenter::ObserverToken subscription_;
};

}  // namespace orvane

// NetworkReachabilityObserving: what a NetworkReachability calls when the
// network comes or goes. Both operations are optional: each has an empty
// default, so an observer overrides either, both or neither.
//
// Observers are held weakly and called on the thread that delivers the
// change (the main loop for changes the system reports).
//
//   struct StatusBar : orvane::NetworkReachabilityObserving {
//       void networkDidBecomeUnavailable() override { showOffline(); }
//   };
#pragma once

namespace orvane {

class NetworkReachabilityObserving {
public:
    virtual ~NetworkReachabilityObserving() = default;

    virtual void networkDidBecomeAvailable() {}
    virtual void networkDidBecomeUnavailable() {}
};

}  // namespace orvane

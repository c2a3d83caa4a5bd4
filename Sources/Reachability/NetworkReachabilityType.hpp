// NetworkReachabilityType: what callers of the reachability monitor depend
// on — the last known state, and observers to tell when it changes.
// NetworkReachability is the implementation; tests substitute their own.
//
//   void connect(orvane::NetworkReachabilityType& reachability, std::shared_ptr<StatusBar> bar) {
//       reachability.addObserver(bar);
//       bar->setOnline(reachability.reachable());
//   }
#pragma once

#include "Reachability/NetworkReachabilityObserving.hpp"

#include <memory>

namespace orvane {

class NetworkReachabilityType {
public:
    virtual ~NetworkReachabilityType() = default;

    // Whether the network is reachable, as last known.
    virtual bool reachable() const = 0;
    // Registers an observer, held weakly.
    virtual void addObserver(const std::shared_ptr<NetworkReachabilityObserving>& observer) = 0;
    // Unregisters every registration of the observer.
    virtual void removeObserver(const std::shared_ptr<NetworkReachabilityObserving>& observer) = 0;
};

}  // namespace orvane

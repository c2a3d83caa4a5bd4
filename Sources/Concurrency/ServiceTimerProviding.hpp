// ServiceTimerProviding: the interface of a repeating timer that calls a
// callback on the main thread at a fixed interval until it is stopped.
// ServiceTimer is the implementation over the main run loop; tests substitute
// their own to fire by hand.
//
// Thread safety: use it on the main thread, where the callback runs.
//
//   void Sync::begin(orvane::ServiceTimerProviding& timer) {
//       timer.setCallback([this] { poll(); });
//       timer.start();
//   }
#pragma once

#include <functional>

namespace orvane {

class ServiceTimerProviding {
public:
    // Empty means no callback.
    using Callback = std::function<void()>;

    virtual ~ServiceTimerProviding() = default;

    virtual bool isValid() const = 0;
    virtual double timeInterval() const = 0;
    virtual void setTimeInterval(double timeInterval) = 0;
    virtual Callback callback() const = 0;
    virtual void setCallback(Callback callback) = 0;
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual void restart() = 0;
};

}  // namespace orvane

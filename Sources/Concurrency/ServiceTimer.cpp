#include "Concurrency/ServiceTimer.hpp"

#include <utility>

namespace orvane {

std::shared_ptr<ServiceTimer> ServiceTimer::create(double timeInterval, std::string name) {
    return std::make_shared<ServiceTimer>(Token{}, timeInterval, std::move(name));
}

ServiceTimer::ServiceTimer(Token, double timeInterval, std::string name)
    : name_(std::move(name)), timeInterval_(timeInterval) {}

ServiceTimer::~ServiceTimer() {
    if (std::shared_ptr<RunLoopTimer> timer = timer_.lock()) {
        timer->invalidate();
    }
}

bool ServiceTimer::isValid() const {
    std::shared_ptr<RunLoopTimer> timer = timer_.lock();
    return timer && timer->isValid();
}

void ServiceTimer::setTimeInterval(double timeInterval) {
    const double previous = std::exchange(timeInterval_, timeInterval);
    if (timeInterval == previous) {
        return;
    }
    restart();
}

void ServiceTimer::setCallback(Callback callback) {
    callback_ = std::move(callback);
}

void ServiceTimer::start() {
    if (!timer_.expired()) {
        return;
    }
    auto timer = RunLoopTimer::make(
        timeInterval_, true, [self = shared_from_this()](RunLoopTimer& fired) { self->onTimerFired(fired); });
    timer->scheduleOnMainRunLoop();
    timer_ = timer;
}

void ServiceTimer::stop() {
    // Invalidating releases the action, which may hold the last reference to this object.
    std::shared_ptr<ServiceTimer> keepAlive = weak_from_this().lock();
    if (std::shared_ptr<RunLoopTimer> timer = timer_.lock()) {
        timer->invalidate();
    }
    timer_.reset();
}

void ServiceTimer::restart() {
    std::shared_ptr<ServiceTimer> keepAlive = weak_from_this().lock();
    stop();
    start();
}

void ServiceTimer::onTimerFired(RunLoopTimer&) {
    if (callback_) {
        // A copy, so that a callback that replaces itself finishes safely.
        Callback callback = callback_;
        callback();
    }
}

}  // namespace orvane

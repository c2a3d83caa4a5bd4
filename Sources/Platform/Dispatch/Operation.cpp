#include "Platform/Dispatch/Operation.hpp"

#include <algorithm>

namespace orvane {

bool Operation::isExecuting() const {
    return executing_.load();
}

bool Operation::isFinished() const {
    return finished_.load();
}

void Operation::cancel() {
    if (cancelled_.load()) {
        return;
    }
    willChangeValue("isCancelled");
    cancelled_.store(true);
    didChangeValue("isCancelled");
}

void Operation::start() {
    if (executing_.load() || finished_.load()) {
        return;  // an operation runs at most once
    }
    if (isCancelled()) {
        willChangeValue("isFinished");
        finished_.store(true);
        didChangeValue("isFinished");
        return;
    }
    willChangeValue("isExecuting");
    executing_.store(true);
    didChangeValue("isExecuting");

    main();

    willChangeValue("isFinished");
    willChangeValue("isExecuting");
    executing_.store(false);
    finished_.store(true);
    didChangeValue("isExecuting");
    didChangeValue("isFinished");
}

Operation::ObserverToken Operation::addObserver(Observer observer) {
    if (!observer) {
        return 0;
    }
    const std::lock_guard lock(observersMutex_);
    const ObserverToken token = nextToken_++;
    observers_.emplace_back(token, std::make_shared<const Observer>(std::move(observer)));
    hasObservers_.store(true);
    return token;
}

void Operation::removeObserver(ObserverToken token) {
    std::shared_ptr<const Observer> removed;  // released after the lock
    const std::lock_guard lock(observersMutex_);
    const auto found = std::find_if(observers_.begin(), observers_.end(),
                                    [token](const auto& entry) { return entry.first == token; });
    if (found != observers_.end()) {
        removed = std::move(found->second);
        observers_.erase(found);
        hasObservers_.store(!observers_.empty());
    }
}

void Operation::willChangeValue(std::string_view key) {
    notify(key, Change::will);
}

void Operation::didChangeValue(std::string_view key) {
    notify(key, Change::did);
}

// Observers are called without the lock, so they may add or remove observers;
// one added or removed on another thread during a notification may or may not
// get it.
void Operation::notify(std::string_view key, Change change) {
    if (hasObservers_.load()) {
        std::vector<std::shared_ptr<const Observer>> observers;
        {
            const std::lock_guard lock(observersMutex_);
            observers.reserve(observers_.size());
            for (const auto& entry : observers_) {
                observers.push_back(entry.second);
            }
        }
        for (const auto& observer : observers) {
            (*observer)(key, change);
        }
    }
    if (change == Change::did) {
        if (QueueLink* const link = queueLinkRaw_.load(std::memory_order_acquire)) {
            link->didChange(*this, key);
        }
    }
}

}  // namespace orvane

#include "Platform/Dispatch/Operation.hpp"

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

namespace orvane {

bool Operation::isExecuting() const {
    return executing_.load(std::memory_order_acquire);
}

bool Operation::isFinished() const {
    return finished_.load(std::memory_order_acquire);
}

void Operation::cancel() {
    if (cancelled_.load()) {
        return;
    }
    willChangeValue("isCancelled");
    cancelled_.store(true);
    didChangeValue("isCancelled");
}

// The flags are stored with release and read with acquire: what start() did
// before a change is seen by whoever sees the change, without a full fence
// per store.
void Operation::start() {
    if (executing_.load(std::memory_order_acquire) || finished_.load(std::memory_order_acquire)) {
        return;  // an operation runs at most once
    }
    if (isCancelled()) {
        willChangeValue("isFinished");
        finished_.store(true, std::memory_order_release);
        didChangeValue("isFinished");
        return;
    }
    willChangeValue("isExecuting");
    executing_.store(true, std::memory_order_release);
    didChangeValue("isExecuting");

    main();

    willChangeValue("isFinished");
    willChangeValue("isExecuting");
    executing_.store(false, std::memory_order_release);
    finished_.store(true, std::memory_order_release);
    didChangeValue("isExecuting");
    didChangeValue("isFinished");
}

struct Operation::Observers {
    std::mutex mutex;
    std::vector<std::pair<ObserverToken, std::shared_ptr<const Observer>>> list;
    ObserverToken nextToken = 1;
};

Operation::~Operation() {
    delete observers_.load(std::memory_order_acquire);
}

Operation::ObserverToken Operation::addObserver(Observer observer) {
    if (!observer) {
        return 0;
    }
    Observers* observers = observers_.load(std::memory_order_acquire);
    if (observers == nullptr) {
        auto made = std::make_unique<Observers>();
        if (observers_.compare_exchange_strong(observers, made.get(), std::memory_order_acq_rel)) {
            observers = made.release();
        }  // else another thread made them first: `observers` holds theirs
    }
    const std::lock_guard lock(observers->mutex);
    const ObserverToken token = observers->nextToken++;
    observers->list.emplace_back(token, std::make_shared<const Observer>(std::move(observer)));
    hasObservers_.store(true);
    return token;
}

void Operation::removeObserver(ObserverToken token) {
    Observers* const observers = observers_.load(std::memory_order_acquire);
    if (observers == nullptr) {
        return;
    }
    std::shared_ptr<const Observer> removed;  // released after the lock
    const std::lock_guard lock(observers->mutex);
    auto& list = observers->list;
    const auto found =
        std::find_if(list.begin(), list.end(), [token](const auto& entry) { return entry.first == token; });
    if (found != list.end()) {
        removed = std::move(found->second);
        list.erase(found);
        hasObservers_.store(!list.empty());
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
        Observers& all = *observers_.load(std::memory_order_acquire);  // made before hasObservers_ was set
        std::vector<std::shared_ptr<const Observer>> observers;
        {
            const std::lock_guard lock(all.mutex);
            observers.reserve(all.list.size());
            for (const auto& entry : all.list) {
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

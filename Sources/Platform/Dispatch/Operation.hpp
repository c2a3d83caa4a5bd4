// Operation: a unit of work that an OperationQueue runs, with observable flags.
//
// The queue starts an operation by calling start() once it is ready, and
// follows it through will-change and did-change notifications under the key
// names "isReady", "isExecuting" and "isFinished". Observers receive those
// notifications synchronously on the thread that makes the change.
//
// The base class is a synchronous operation: start() marks it executing,
// calls main(), then marks it finished (or goes straight to finished when it
// was cancelled first). Subclasses that finish later override start() and the
// flag getters, and announce their own changes with willChangeValue /
// didChangeValue.
//
// Thread safety: the flags and observer list may be used from any thread;
// notifications run on the changing thread, so observers must be thread-safe.
//
//   auto token = operation->addObserver([](std::string_view key, orvane::Operation::Change change) {
//       if (key == "isFinished" && change == orvane::Operation::Change::did) { ... }
//   });
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

namespace orvane {

class OperationQueue;

class Operation : public std::enable_shared_from_this<Operation> {
public:
    enum class Change { will, did };
    using Observer = std::function<void(std::string_view key, Change change)>;
    using ObserverToken = std::uint64_t;

    Operation() = default;
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;
    virtual ~Operation();

    // Readiness of the base class: true (this stand-in has no dependencies).
    virtual bool isReady() const { return true; }
    virtual bool isExecuting() const;
    virtual bool isFinished() const;
    virtual bool isAsynchronous() const { return false; }
    virtual bool isCancelled() const { return cancelled_.load(); }

    // Sets the cancelled flag (announced under "isCancelled").
    virtual void cancel();
    virtual void start();
    // The work; does nothing unless overridden.
    virtual void main() {}

    ObserverToken addObserver(Observer observer);
    void removeObserver(ObserverToken token);

    // Announce a change of the value under `key` to every observer, now, on
    // this thread.
    void willChangeValue(std::string_view key);
    void didChangeValue(std::string_view key);

private:
    friend class OperationQueue;
    // How the queue that holds the operation hears its did-change
    // notifications, after the observers, without an observer of its own.
    struct QueueLink {
        virtual ~QueueLink() = default;
        virtual void didChange(Operation& operation, std::string_view key) = 0;
    };
    // The holding queue's bookkeeping, kept here so that adding an operation
    // allocates nothing. Guarded by that queue's lock.
    struct QueueEntry {
        std::shared_ptr<Operation> self;  // the queue's reference, while listed
        Operation* previous = nullptr;    // neighbours in the queue's list, in the order added
        Operation* next = nullptr;
        Operation* previousCandidate = nullptr;  // neighbours among those that may be startable
        Operation* nextCandidate = nullptr;
        std::uint64_t id = 0;
        enum class Offer : std::uint8_t { none, waiting, reading } offer = Offer::none;
        bool started = false;
        bool recheck = false;  // readiness changed while it was being read
    };

    void notify(std::string_view key, Change change);

    // Set once, by the add that claims the operation; a second add finds it
    // set and fails.
    std::atomic<QueueLink*> queueLinkRaw_{nullptr};
    std::shared_ptr<QueueLink> queueLink_;  // owns it; written once, by that add
    QueueEntry queueEntry_;
    std::atomic<bool> hasObservers_{false};

    std::atomic<bool> cancelled_{false};
    std::atomic<bool> executing_{false};
    std::atomic<bool> finished_{false};
    // Made by the first addObserver and kept until the operation is
    // destroyed: most operations are never observed, and stay smaller.
    struct Observers;
    std::atomic<Observers*> observers_{nullptr};
};

}  // namespace orvane

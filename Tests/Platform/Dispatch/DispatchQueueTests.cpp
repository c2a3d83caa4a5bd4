#include "Platform/Dispatch/DispatchQueue.hpp"
#include "Platform/Dispatch/DispatchSemaphore.hpp"
#include "Platform/Dispatch/MainLoop.hpp"
#include "Platform/Dispatch/WorkerPool.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <limits>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using orvane::DispatchQueue;
using orvane::DispatchSemaphore;
using orvane::DispatchTime;
using orvane::DispatchWorkItem;
using orvane::MainLoop::runUntil;
using Kind = DispatchQueue::Kind;

// A one-shot signal that blocks wait on with a time limit, so a failing test
// does not hang. Each call holds the semaphore itself, so the Gate may go
// while a call that let the test go on is still inside it.
struct Gate {
    void open() {
        const auto held = semaphore;
        held->signal();
    }
    bool waitOpen(std::chrono::milliseconds limit = 10s) {
        const auto held = semaphore;
        if (!held->wait(limit)) {
            return false;
        }
        held->signal();  // stays open for every other waiter
        return true;
    }
    std::shared_ptr<DispatchSemaphore> semaphore = std::make_shared<DispatchSemaphore>(0);
};

TEST(DispatchQueue, serialQueueRunsEveryKindOfSubmissionAloneInOrder) {
    auto queue = DispatchQueue::create("com.orvane.test.serial");
    EXPECT_EQ(queue->label(), "com.orvane.test.serial");
    std::atomic<int> inside = 0, overlaps = 0;
    int next = 0, outOfOrder = 0;  // plain: TSan checks each hand-over between blocks
    for (int i = 0; i < 200; ++i) {
        auto block = [&, i] {
            overlaps += ++inside > 1 ? 1 : 0;
            outOfOrder += next++ != i ? 1 : 0;
            if (i % 50 == 0) {
                std::this_thread::sleep_for(1ms);  // time for a second worker to overlap, if it could
            }
            --inside;
        };
        i % 3 == 0 ? queue->asyncBarrier(block) : i % 7 == 0 ? queue->sync(block) : queue->async(block);
    }
    EXPECT_EQ(queue->sync([&] { return next; }), 200);
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_EQ(overlaps, 0);
}

TEST(DispatchQueue, concurrentQueueOverlapsItsBlocks) {
    // Each block waits for the other to start: both succeed only if they overlap.
    auto queue = DispatchQueue::create("com.orvane.test.concurrent", Kind::concurrent);
    Gate started[2];
    std::atomic<int> met = 0, finished = 0;
    for (int i = 0; i < 2; ++i) {
        queue->async([&, i] {
            started[i].open();
            met += started[1 - i].waitOpen() ? 1 : 0;
            ++finished;
        });
    }
    EXPECT_TRUE(runUntil([&] { return finished == 2; }, 20s));
    EXPECT_EQ(met, 2);
}

TEST(DispatchQueue, barrierWaitsForARunningReadAndLaterReadsWaitForTheBarrier) {
    auto queue = DispatchQueue::create("com.orvane.test.gate", Kind::concurrent);
    bool written = false;  // plain: TSan sees a read or write the queue leaves unordered
    Gate readerEntered, releaseReader, barrierRan;
    std::thread reader([&] {
        queue->sync([&] {
            readerEntered.open();
            releaseReader.waitOpen();
        });
    });
    ASSERT_TRUE(readerEntered.waitOpen());
    queue->asyncBarrier([&] {
        written = true;
        barrierRan.open();
    });
    // This thread knows of the barrier, so does the one it starts: both reads
    // wait for it, although the read that got in first still holds it up.
    std::atomic<bool> laterReadSawWrite = false;
    std::thread laterReader([&] { laterReadSawWrite = queue->sync([&] { return written; }); });
    EXPECT_FALSE(barrierRan.waitOpen(30ms)) << "the barrier started while a read was running";
    releaseReader.open();
    EXPECT_TRUE(queue->sync([&] { return written; }));
    reader.join();
    laterReader.join();
    EXPECT_TRUE(laterReadSawWrite);
}

TEST(DispatchQueue, readersAndWritersOnManyThreadsKeepEveryBarrierWhole) {
    // Each barrier moves both fields together, yielding in between; a read
    // that overlapped one would see them apart. Every thread also reads its
    // own last write back, through sync and through async reads.
    auto queue = DispatchQueue::create("com.orvane.test.stress", Kind::concurrent);
    struct Pair {
        long first = 0, second = 0;
        bool apart() const {
            const long seen = first;
            std::this_thread::yield();
            return seen != second;
        }
    } pair;
    constexpr int threads = 6, rounds = 400;
    std::vector<long> ownCount(threads, 0);  // each slot written only by barriers
    std::atomic<int> torn = 0, missedOwnWrite = 0;
    std::vector<std::jthread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            const auto slot = static_cast<std::size_t>(t);
            for (int round = 1; round <= rounds; ++round) {
                if (round % 3 == 0 || t % 2 == 0) {
                    queue->asyncBarrier([&, slot] {
                        ++pair.first;
                        ++ownCount[slot];
                        std::this_thread::yield();
                        ++pair.second;
                    });
                }
                const long expected = t % 2 == 0 ? round : round / 3;
                if (round % 3 == 0) {
                    queue->async([&, slot, expected] {
                        torn += pair.apart() ? 1 : 0;
                        missedOwnWrite += ownCount[slot] < expected ? 1 : 0;
                    });
                }
                const auto [apart, mine] = queue->sync([&] {
                    return std::pair{pair.apart(), ownCount[slot]};
                });
                torn += apart ? 1 : 0;
                missedOwnWrite += mine != expected ? 1 : 0;
            }
        });
    }
    workers.clear();             // joins them
    queue->asyncBarrier([] {});  // the reads after it also wait for the async readers
    const long total = queue->sync([&] { return pair.second; });
    EXPECT_EQ(total, (threads / 2) * rounds + (threads - threads / 2) * (rounds / 3));
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(missedOwnWrite, 0);
}

TEST(DispatchQueue, syncRunsOnTheCallersThreadAndPassesExceptionsBack) {
    for (const auto& queue :
         {DispatchQueue::create("com.orvane.test.sync"),
          DispatchQueue::create("com.orvane.test.sync", Kind::concurrent), DispatchQueue::global()}) {
        EXPECT_EQ(queue->sync([] { return std::this_thread::get_id(); }), std::this_thread::get_id());
        // An exception reaches the caller, and the failed read leaves the
        // queue: a barrier still gets its turn.
        EXPECT_THROW(queue->sync([]() -> int { throw std::runtime_error("read failed"); }),
                     std::runtime_error);
        Gate barrierRan;
        queue->asyncBarrier([&] { barrierRan.open(); });
        EXPECT_TRUE(barrierRan.waitOpen());
    }
}

TEST(DispatchQueue, releasedQueueRunsWhatWasSubmittedExceptACancelledItem) {
    auto queue = DispatchQueue::create("com.orvane.test.released");
    std::weak_ptr<DispatchQueue> weak = queue;
    Gate started, hold;
    std::atomic<int> ran = 0;
    auto running = std::make_shared<DispatchWorkItem>([&] {
        started.open();
        hold.waitOpen();
        ran += 1000;
    });
    queue->async(running);
    ASSERT_TRUE(started.waitOpen());
    running->cancel();  // too late: it runs to its end
    auto cancelled = std::make_shared<DispatchWorkItem>([&] { ran += 100; });
    queue->async(cancelled);
    for (int i = 0; i < 10; ++i) {
        queue->async([&] { ++ran; });
    }
    queue->asyncAfter(DispatchTime::now() + 0.02, [&] { ++ran; });
    cancelled->cancel();
    queue.reset();
    EXPECT_FALSE(weak.expired()) << "pending work keeps the queue";
    hold.open();
    EXPECT_TRUE(runUntil([&] { return ran == 1011 && weak.expired(); }, 10s));
    EXPECT_EQ(ran, 1011);
}

TEST(DispatchQueue, cancellingADelayedItemLetsGoOfItsCapturesAndHugeDelaysNeverCome) {
    auto captured = std::make_shared<int>(0);
    std::weak_ptr<int> watch = captured;
    auto item = std::make_shared<DispatchWorkItem>([captured = std::move(captured)] { ++*captured; });
    DispatchQueue::global()->asyncAfter(DispatchTime::now() + 3600.0, item);
    item->cancel();
    EXPECT_TRUE(watch.expired()) << "the block is released at cancel, not at its deadline";

    const auto now = DispatchTime::now();
    std::atomic<int> ran = 0;
    for (const double delay :
         {1e10, 1e12, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_EQ(now + delay, DispatchTime::distantFuture()) << delay;
        DispatchQueue::global()->asyncAfter(now + delay, [&ran] { ++ran; });
    }
    EXPECT_LT(now + -1e12, now);
    Gate marker;
    DispatchQueue::global()->asyncAfter(DispatchTime::now() + 0.05, [&marker] { marker.open(); });
    EXPECT_TRUE(marker.waitOpen());
    EXPECT_EQ(ran, 0);
}

TEST(DispatchQueue, asyncAfterNeverRunsEarlyAndKeepsDeadlineOrder) {
    for (const auto& queue :
         {DispatchQueue::create("com.orvane.test.after"), DispatchQueue::global(), DispatchQueue::main()}) {
        std::vector<int> order(4);
        std::atomic<std::size_t> slot = 0;  // each block writes its own element
        std::atomic<int> ran = 0, early = 0, offMainThread = 0;
        const auto thisThread = std::this_thread::get_id();
        const auto start = DispatchTime::now();
        for (int index = 3; index >= 0; --index) {  // submitted latest first
            const DispatchTime deadline = start + 0.03 * (index + 1);
            queue->asyncAfter(deadline, [&, index, deadline] {
                early += DispatchTime::now() < deadline ? 1 : 0;
                offMainThread += std::this_thread::get_id() != thisThread ? 1 : 0;
                order[slot++] = index;
                ++ran;
            });
        }
        EXPECT_TRUE(runUntil([&] { return ran == 4; }, 10s));
        EXPECT_EQ(early, 0);
        if (queue->kind() == Kind::serial) {
            EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
        }
        if (queue == DispatchQueue::main()) {
            EXPECT_EQ(offMainThread, 0);
        }
    }
}

TEST(DispatchQueue, blocksThatWaitForALaterBlockDoNotDeadlockThePool) {
    // More waiting blocks than the pool starts at once: it must add workers
    // until the releasing block gets one.
    const int waiting = static_cast<int>(orvane::WorkerPool::shared().limits().eagerThreads) * 4 + 4;
    ASSERT_LT(static_cast<std::size_t>(waiting), orvane::WorkerPool::shared().limits().maxThreads);
    Gate release;
    std::atomic<int> released = 0, finished = 0;
    for (int i = 0; i < waiting; ++i) {
        DispatchQueue::global()->async([&] {
            released += release.waitOpen(20s) ? 1 : 0;
            ++finished;
        });
    }
    DispatchQueue::global()->async([&] { release.open(); });
    EXPECT_TRUE(runUntil([&] { return finished == waiting; }, 30s));
    EXPECT_EQ(released, waiting);
}

std::size_t threadsInProcess() {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/task"), {}));
}

TEST(DispatchQueueDeathTest, noThreadIsMadeBeforeWorkArrives) {
    // The threadsafe style runs this test alone in a fresh process.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            const std::size_t atStart = threadsInProcess();
            auto serial = DispatchQueue::create("com.orvane.test.fresh");
            auto global = DispatchQueue::global();
            auto main = DispatchQueue::main();
            const std::size_t afterQueues = threadsInProcess();
            DispatchSemaphore done(0);
            serial->async([&] { done.signal(); });
            done.wait();
            const std::size_t afterWork = threadsInProcess();
            // The exit code names the failed step: 3 a thread besides the main
            // one existed once the library was loaded, 1 making queues made
            // threads, 2 the count does not see the pool's threads.
            std::exit(atStart != 1 ? 3 : afterQueues != atStart ? 1 : afterWork <= atStart ? 2 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace

#include "Concurrency/Observable.hpp"
#include "Platform/Dispatch/DispatchQueue.hpp"
#include "Platform/Dispatch/MainLoop.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using orvane::DispatchQueue;
using orvane::Observable;

namespace {

// Runs the main queue until every block submitted to it so far has run.
bool drainMainQueue() {
    auto done = std::make_shared<bool>(false);
    DispatchQueue::main()->async([done] { *done = true; });
    return orvane::MainLoop::runUntil([&] { return *done; }, std::chrono::seconds(10));
}

}  // namespace

TEST(Observable, deliversEachFireInOrderToEveryCallbackInRegistrationOrder) {
    auto observable = Observable<int>::create();
    std::vector<std::string> calls;
    observable->fire(1);  // the list is read when the delivery runs, not at fire
    observable->observe([&](int value) { calls.push_back("A" + std::to_string(value)); });
    observable->observe([&](int value) { calls.push_back("B" + std::to_string(value)); });
    auto twice = [&](int value) { calls.push_back("C" + std::to_string(value)); };
    observable->observe(twice);
    observable->observe(twice);
    observable->fire(2);
    EXPECT_TRUE(calls.empty());  // never inside fire
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(calls, (std::vector<std::string>{"A1", "B1", "C1", "C1", "A2", "B2", "C2", "C2"}));

    observable->fire(3);
    observable.reset();  // a released observable drops its pending deliveries
    ASSERT_TRUE(drainMainQueue());
    EXPECT_EQ(calls.size(), 8U);
}

TEST(Observable, fireOnTheDeliveryQueueItselfStillDeliversLater) {
    auto observable = Observable<int>::create();
    std::vector<int> received;
    observable->observe([&](int value) {
        received.push_back(value);
        if (value == 1) {
            observable->fire(2);  // from inside a delivery: scheduled, not nested
            received.push_back(-1);
        }
    });
    observable->fire(1);
    ASSERT_TRUE(orvane::MainLoop::runUntil([&] { return received.size() == 3; }, std::chrono::seconds(10)));
    EXPECT_EQ(received, (std::vector<int>{1, -1, 2}));
}

TEST(Observable, queueIsReadAtEachFire) {
    auto observable = Observable<int>::create();
    const auto mainThread = std::this_thread::get_id();
    std::atomic<int> onMain = 0, elsewhere = 0;  // the values delivered on each side
    observable->observe(
        [&](int value) { (std::this_thread::get_id() == mainThread ? onMain : elsewhere) += value; });
    observable->fire(1);
    observable->setQueue(DispatchQueue::create("com.orvane.tests.delivery"));
    observable->fire(2);
    ASSERT_TRUE(
        orvane::MainLoop::runUntil([&] { return onMain + elsewhere == 3; }, std::chrono::seconds(10)));
    EXPECT_EQ(onMain, 1);
    EXPECT_EQ(elsewhere, 2);
}

TEST(Observable, firesAndRegistrationsFromManyThreadsAllArrive) {
    auto observable = Observable<int>::create();
    observable->setQueue(DispatchQueue::create("com.orvane.tests.delivery"));  // serial
    std::atomic<int> sum = 0, lateMarkers = 0;
    observable->observe([&](int value) { sum += value; });
    std::vector<std::jthread> threads;
    for (int thread = 0; thread < 4; ++thread) {
        threads.emplace_back([&] {
            for (int i = 1; i <= 100; ++i) {
                observable->fire(i);
            }
            observable->observe([&](int value) { lateMarkers += value == 0 ? 1 : 0; });
        });
    }
    threads.clear();      // joins them
    observable->fire(0);  // after every registration above: reaches all five callbacks
    EXPECT_TRUE(
        orvane::MainLoop::runUntil([&] { return lateMarkers.load() == 4; }, std::chrono::seconds(10)));
    EXPECT_EQ(sum.load(), 4 * 5050);
    EXPECT_EQ(lateMarkers.load(), 4);
}

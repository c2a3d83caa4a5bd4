#include "Platform/Dispatch/RunLoopTimer.hpp"

#include "Platform/Dispatch/MainLoop.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using orvane::RunLoopTimer;
using orvane::MainLoop::runFor;
using orvane::MainLoop::runUntil;
using Clock = std::chrono::steady_clock;

TEST(RunLoopTimer, repeatsOnTheMainThreadStartingOneIntervalAfterScheduling) {
    const auto mainThread = std::this_thread::get_id();
    std::vector<Clock::time_point> firings;
    int offThread = 0;
    auto timer = RunLoopTimer::make(0.02, true, [&](RunLoopTimer&) {
        firings.push_back(Clock::now());
        offThread += std::this_thread::get_id() != mainThread ? 1 : 0;
    });
    const auto scheduled = Clock::now();
    timer->scheduleOnMainRunLoop();
    timer->scheduleOnMainRunLoop();  // already scheduled: changes nothing
    EXPECT_TRUE(runUntil([&] { return firings.size() >= 4; }, 10s));
    timer->invalidate();
    // On a fixed grid: firing k (from 0) is never before scheduling + (k + 1) intervals.
    for (std::size_t k = 0; k < firings.size(); ++k) {
        EXPECT_GE(firings[k] - scheduled, 20ms * static_cast<int>(k + 1)) << "firing " << k;
    }
    EXPECT_EQ(offThread, 0);
}

TEST(RunLoopTimer, loopHoldsAScheduledTimerUntilInvalidatedAndANonRepeatingOneFiresOnce) {
    auto captured = std::make_shared<int>(0);
    std::weak_ptr<int> weakCaptured = captured;
    int fired = 0;
    auto timer = RunLoopTimer::make(0.0, true, [captured, &fired](RunLoopTimer& self) {  // fires every ms
        if (++fired == 3) {
            self.invalidate();  // from its own action
        }
    });
    captured.reset();
    timer->scheduleOnMainRunLoop();
    std::weak_ptr<RunLoopTimer> weakTimer = timer;
    timer.reset();
    EXPECT_TRUE(runUntil([&] { return weakTimer.expired(); }, 10s));
    EXPECT_TRUE(weakCaptured.expired());
    runFor(30ms);
    EXPECT_EQ(fired, 3);

    auto other = RunLoopTimer::make(0.01, true, [&fired](RunLoopTimer&) { ++fired; });
    other->scheduleOnMainRunLoop();
    EXPECT_TRUE(runUntil([&] { return fired >= 5; }, 10s));
    other->invalidate();  // from outside
    const int firedBefore = fired;
    runFor(50ms);
    EXPECT_EQ(fired, firedBefore);

    int once = 0;  // a non-repeating timer fires once and cannot be scheduled again
    auto single = RunLoopTimer::make(0.01, false, [&once](RunLoopTimer&) { ++once; });
    runFor(30ms);
    EXPECT_EQ(once, 0) << "an unscheduled timer never fires";
    EXPECT_TRUE(single->isValid());
    single->scheduleOnMainRunLoop();
    EXPECT_TRUE(runUntil([&] { return once == 1; }, 10s));
    EXPECT_FALSE(single->isValid());
    single->scheduleOnMainRunLoop();
    runFor(40ms);
    EXPECT_EQ(once, 1);
}

}  // namespace

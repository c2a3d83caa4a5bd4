// The delay error of a ThrottledRunner block: how late it runs after its
// deadline (call time plus delay), median and worst of 100 runs, reported as
// counters in milliseconds. Beside it, the same for a plain thread sleeping
// until the deadline.
#include "Concurrency/ThrottledRunner.hpp"
#include "Platform/Dispatch/DispatchQueue.hpp"
#include "Platform/Dispatch/DispatchSemaphore.hpp"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int samples = 100;
constexpr double delaySeconds = 0.005;
const auto delay = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(delaySeconds));

void report(benchmark::State& state, std::vector<double> errorsMs) {
    std::ranges::sort(errorsMs);
    state.counters["median_ms"] = errorsMs[errorsMs.size() / 2];
    state.counters["worst_ms"] = errorsMs.back();
    state.counters["best_ms"] = errorsMs.front();
}

double lateness(Clock::time_point deadline, Clock::time_point ran) {
    return std::chrono::duration<double, std::milli>(ran - deadline).count();
}

void throttledRunnerDelayError(benchmark::State& state) {
    auto runner = orvane::ThrottledRunner::create();
    std::vector<double> errors;
    for (auto _ : state) {
        for (int sample = 0; sample < samples; ++sample) {
            auto ran = std::make_shared<orvane::DispatchSemaphore>(0);
            Clock::time_point at;
            const auto deadline = Clock::now() + delay;
            runner->runIgnoringPendingBlocksAfterDelay(delaySeconds, [&at, ran] {
                at = Clock::now();
                ran->signal();
            });
            ran->wait();
            errors.push_back(lateness(deadline, at));
        }
    }
    report(state, std::move(errors));
}

void sleepingThreadDelayError(benchmark::State& state) {
    std::vector<double> errors;
    for (auto _ : state) {
        for (int sample = 0; sample < samples; ++sample) {
            Clock::time_point at;
            const auto deadline = Clock::now() + delay;
            std::thread([&] {
                std::this_thread::sleep_until(deadline);
                at = Clock::now();
            }).join();
            errors.push_back(lateness(deadline, at));
        }
    }
    report(state, std::move(errors));
}

}  // namespace

BENCHMARK(throttledRunnerDelayError)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(sleepingThreadDelayError)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();

// An operation queue at one operation at a time: a first operation blocks
// until released while 10,000 more are added behind it; then it is released
// and the queue drains. Beside it, the same blocks on a serial DispatchQueue.
#include "Platform/Dispatch/DispatchQueue.hpp"
#include "Platform/Dispatch/DispatchSemaphore.hpp"
#include "Platform/Dispatch/OperationQueue.hpp"

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <utility>

namespace {

constexpr int backlog = 10'000;

struct BlockOperation : orvane::Operation {
    explicit BlockOperation(std::function<void()> body) : work(std::move(body)) {}
    void main() override { work(); }
    std::function<void()> work;
};

void operationQueueBacklog(benchmark::State& state) {
    for (auto _ : state) {
        auto queue = orvane::OperationQueue::create();
        queue->setMaxConcurrentOperationCount(1);
        orvane::DispatchSemaphore gate(0);
        int ran = 0;
        queue->addOperation(std::make_shared<BlockOperation>([&gate] { gate.wait(); }));
        for (int i = 0; i < backlog; ++i) {
            queue->addOperation(std::make_shared<BlockOperation>([&ran] { ++ran; }));
        }
        gate.signal();
        queue->waitUntilAllOperationsAreFinished();
        benchmark::DoNotOptimize(ran);
    }
    state.SetItemsProcessed(state.iterations() * backlog);
}

void serialDispatchQueueBacklog(benchmark::State& state) {
    for (auto _ : state) {
        auto queue = orvane::DispatchQueue::create("com.orvane.benchmark.backlog");
        orvane::DispatchSemaphore gate(0);
        int ran = 0;
        queue->async([&gate] { gate.wait(); });
        for (int i = 0; i < backlog; ++i) {
            queue->async([&ran] { ++ran; });
        }
        gate.signal();
        queue->sync([] {});
        benchmark::DoNotOptimize(ran);
    }
    state.SetItemsProcessed(state.iterations() * backlog);
}

}  // namespace

// CPU time is the whole process's (the draining happens on pool threads), so
// it stays comparable on a loaded machine where real time does not.
BENCHMARK(operationQueueBacklog)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK(serialDispatchQueueBacklog)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();
BENCHMARK_MAIN();

// ThreadSafeSequence beside a std::vector behind a std::shared_mutex doing the
// same work: append, indexed read and a full iteration that takes the lock
// once per element, as the sequence's iterator does. Run with 1 and 2 threads.
#include "Concurrency/ThreadSafeSequence.hpp"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <memory>
#include <mutex>
#include <numeric>
#include <optional>
#include <shared_mutex>
#include <vector>

namespace {

constexpr int elements = 1024;

std::vector<int> initialElements() {
    std::vector<int> values(elements);
    std::iota(values.begin(), values.end(), 0);
    return values;
}

class SharedMutexVector {
public:
    explicit SharedMutexVector(std::vector<int> values) : values_(std::move(values)) {}
    void append(int value) {
        std::unique_lock lock(mutex_);
        values_.push_back(value);
    }
    std::optional<int> at(std::ptrdiff_t index) const {
        std::shared_lock lock(mutex_);
        if (index < 0 || static_cast<std::size_t>(index) >= values_.size()) {
            return std::nullopt;
        }
        return values_[static_cast<std::size_t>(index)];
    }
    std::ptrdiff_t count() const {
        std::shared_lock lock(mutex_);
        return static_cast<std::ptrdiff_t>(values_.size());
    }

private:
    mutable std::shared_mutex mutex_;
    std::vector<int> values_;
};

// Shared by the threads of one run; made by thread 0 before the others start.
std::shared_ptr<orvane::ThreadSafeSequence<int>> sequence;
std::unique_ptr<SharedMutexVector> baseline;

void setUp(const benchmark::State&) {
    sequence = orvane::ThreadSafeSequence<int>::create(initialElements());
    baseline = std::make_unique<SharedMutexVector>(initialElements());
}

void tearDown(const benchmark::State&) {
    sequence->count();  // waits for the queued appends
    sequence.reset();
    baseline.reset();
}

void sequenceAppend(benchmark::State& state) {
    for (auto _ : state) {
        sequence->append(1);
    }
    state.SetItemsProcessed(state.iterations());
}

void sharedMutexAppend(benchmark::State& state) {
    for (auto _ : state) {
        baseline->append(1);
    }
    state.SetItemsProcessed(state.iterations());
}

void sequenceIndexedRead(benchmark::State& state) {
    std::ptrdiff_t index = state.thread_index();
    for (auto _ : state) {
        benchmark::DoNotOptimize((*sequence)[index]);
        index = (index + 7) % elements;
    }
    state.SetItemsProcessed(state.iterations());
}

void sharedMutexIndexedRead(benchmark::State& state) {
    std::ptrdiff_t index = state.thread_index();
    for (auto _ : state) {
        benchmark::DoNotOptimize(baseline->at(index));
        index = (index + 7) % elements;
    }
    state.SetItemsProcessed(state.iterations());
}

void sequenceIteration(benchmark::State& state) {
    for (auto _ : state) {
        long sum = 0;
        for (int value : *sequence) {
            sum += value;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * elements);
}

void sharedMutexIteration(benchmark::State& state) {
    for (auto _ : state) {
        long sum = 0;
        for (std::ptrdiff_t index = 0;; ++index) {
            std::optional<int> value = baseline->at(index);
            if (!value) {
                break;
            }
            sum += *value;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * elements);
}

}  // namespace

#define ORVANE_SEQUENCE_BENCHMARK(function) \
    BENCHMARK(function)->Setup(setUp)->Teardown(tearDown)->Threads(1)->Threads(2)->UseRealTime()

ORVANE_SEQUENCE_BENCHMARK(sequenceAppend);
ORVANE_SEQUENCE_BENCHMARK(sharedMutexAppend);
ORVANE_SEQUENCE_BENCHMARK(sequenceIndexedRead);
ORVANE_SEQUENCE_BENCHMARK(sharedMutexIndexedRead);
ORVANE_SEQUENCE_BENCHMARK(sequenceIteration);
ORVANE_SEQUENCE_BENCHMARK(sharedMutexIteration);

BENCHMARK_MAIN();

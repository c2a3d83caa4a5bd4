#include "Concurrency/ThreadSafeSequence.hpp"
#include "Platform/Dispatch/MainLoop.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <numeric>
#include <ranges>
#include <string>
#include <thread>
#include <vector>

using orvane::ThreadSafeSequence;

namespace {

template <class Element>
std::vector<Element> contents(const ThreadSafeSequence<Element>& sequence) {
    return std::vector<Element>(sequence.begin(), sequence.end());
}

}  // namespace

TEST(ThreadSafeSequence, constructorsKeepOrderDescribeLikeAnArrayAndEmptyHasNothing) {
    auto empty = ThreadSafeSequence<int>::create();
    EXPECT_EQ(empty->count(), 0);
    EXPECT_EQ(empty->description(), "[]");
    EXPECT_EQ(empty->begin(), empty->end());
    auto iterator = empty->makeIterator();
    EXPECT_EQ(iterator.next(), std::nullopt);
    EXPECT_EQ(iterator.next(), std::nullopt);  // past the end stays at the end

    auto fromArray = ThreadSafeSequence<int>::create(std::vector<int>{1, 2, 3});
    auto fromLiteral = ThreadSafeSequence<std::string>::create({"a", "b"});
    EXPECT_EQ(contents(*fromArray), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(fromArray->description(), "[1, 2, 3]");
    EXPECT_EQ(fromLiteral->description(), R"(["a", "b"])");
    EXPECT_EQ(ThreadSafeSequence<bool>::create({true, false})->description(), "[true, false]");
    static_assert(std::ranges::input_range<const ThreadSafeSequence<int>&>);
}

TEST(ThreadSafeSequence, aThreadReadsItsOwnWritesOutOfRangeIndexesReachNothingAndPendingWritesKeepIt) {
    auto sequence = ThreadSafeSequence<int>::create({10, 20, 30});
    sequence->append(40);
    EXPECT_EQ(sequence->count(), 4);
    EXPECT_EQ((*sequence)[sequence->count() - 1], 40);

    sequence->remove(0);
    EXPECT_EQ(contents(*sequence), (std::vector<int>{20, 30, 40}));

    sequence->set(1, 31);
    sequence->modify(2, [](int& element) { element += 1; });
    EXPECT_EQ(contents(*sequence), (std::vector<int>{20, 31, 41}));

    EXPECT_EQ((*sequence)[-1], std::nullopt);
    EXPECT_EQ((*sequence)[3], std::nullopt);
    bool changed = false;
    sequence->modify(3, [&](int&) { changed = true; });
    sequence->set(3, 9);
    sequence->set(-1, 9);
    sequence->remove(3);
    sequence->remove(-1);
    EXPECT_FALSE(changed);
    EXPECT_EQ(contents(*sequence), (std::vector<int>{20, 31, 41}));

    std::weak_ptr<ThreadSafeSequence<int>> weak = sequence;
    for (int i = 0; i < 100; ++i) {
        sequence->append(i);
    }
    sequence.reset();  // released once its pending writes have run
    EXPECT_TRUE(orvane::MainLoop::runUntil([&] { return weak.expired(); }, std::chrono::seconds(10)));
}

TEST(ThreadSafeSequence, iterationIsLiveAndEachIteratorHasItsOwnPosition) {
    auto sequence = ThreadSafeSequence<int>::create({1, 2});
    auto first = sequence->makeIterator();
    auto second = sequence->makeIterator();
    EXPECT_EQ(first.next(), 1);
    EXPECT_EQ(first.next(), 2);
    sequence->append(3);
    EXPECT_EQ(first.next(), 3);  // appended before the iterator reached the end
    EXPECT_EQ(first.next(), std::nullopt);
    EXPECT_EQ(second.next(), 1);  // untouched by the first iterator

    sequence->remove(0);  // [2, 3]: the element under the cursor shifts past it
    EXPECT_EQ(second.next(), 3);
}

TEST(ThreadSafeSequence, concurrentWritersLoseNothingWhileReadersIterate) {
    constexpr int writers = 4, perWriter = 500;
    auto sequence = ThreadSafeSequence<int>::create();
    std::vector<std::jthread> threads;
    std::vector<char> sawOwnWrites(writers, 0);
    for (int writer = 0; writer < writers; ++writer) {
        threads.emplace_back([&, writer] {
            for (int i = 0; i < perWriter; ++i) {
                sequence->append(writer * perWriter + i);
            }
            const auto all = contents(*sequence);
            sawOwnWrites[static_cast<std::size_t>(writer)] = std::ranges::count_if(all, [&](int value) {
                                                                 return value / perWriter == writer;
                                                             }) == perWriter;
        });
    }
    threads.emplace_back([&] {
        for (int pass = 0; pass < 20; ++pass) {
            for (int element : *sequence) {
                ASSERT_GE(element, 0);
            }
        }
    });
    threads.clear();  // joins them
    EXPECT_EQ(std::ranges::count(sawOwnWrites, 1), writers);
    auto all = contents(*sequence);
    std::ranges::sort(all);
    std::vector<int> expected(writers * perWriter);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(all, expected);
}

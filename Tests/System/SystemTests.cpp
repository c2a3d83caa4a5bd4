#include "System/System.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using Facts = std::tuple<std::string, std::string, std::optional<std::string>, std::string, std::string>;

Facts readFacts() {
    using orvane::System;
    return {System::hardwareModel(), System::osVersion(), System::shortSerialNumber(), System::homeFolder(),
            System::userName()};
}

// The getters share nothing, so threads reading them at once (under
// ThreadSanitizer too) see what one thread sees.
TEST(System, threadsReadingAtOnceSeeWhatOneThreadSees) {
    const Facts expected = readFacts();
    std::vector<Facts> seen(8);
    std::vector<std::thread> threads;
    for (Facts& facts : seen) {
        threads.emplace_back([&facts] {
            for (int round = 0; round < 50; ++round) {
                facts = readFacts();
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (const Facts& facts : seen) {
        EXPECT_EQ(facts, expected);
    }
    EXPECT_EQ(std::get<1>(expected).find_first_not_of("0123456789."), std::string::npos);
}

}  // namespace

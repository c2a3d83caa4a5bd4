#include "Core/AsyncStep.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using StepResult = orvane::Result<int, std::string>;
using Completion = orvane::AsyncStepCompletion<int, std::string>;
using Step = orvane::AsyncStep<int, std::string>;
using orvane::operator>>;  // two plain lambdas: argument lookup cannot find it

// Steps that note their name in a shared trace, then at once add the
// amount or, without one, fail.
struct Trace {
    std::vector<std::string> names;
    std::vector<StepResult> completed;

    Step adding(std::string name, std::optional<int> amount) {
        return [this, name, amount](int input, Completion completion) {
            names.push_back(name);
            completion(amount ? StepResult::success(input + *amount) : StepResult::failure(name + " broke"));
        };
    }
    Step failing(std::string name) { return adding(std::move(name), std::nullopt); }
    Completion completion() {
        return [this](StepResult result) { completed.push_back(std::move(result)); };
    }
};

// A step that adds the value its token holds, keeping the token alive.
Step holding(std::shared_ptr<int> token) {
    return
        [token = std::move(token)](int input, Completion done) { done(StepResult::success(input + *token)); };
}

TEST(AsyncStep, runsEachStepOnThePreviousSuccessUntilTheFirstFailure) {
    Trace trace;
    const auto twice = [](int input, Completion done) { done(StepResult::success(input * 2)); };
    (trace.adding("a", 1) >> twice >> trace.adding("b", 10))(5, trace.completion());
    orvane::compose(trace.failing("c"), trace.adding("d", 1))(0, trace.completion());
    (trace.adding("e", 1) >> trace.failing("f") >> trace.adding("g", 1) >> trace.failing("h"))(
        0, trace.completion());
    (twice >> twice)(3, trace.completion());  // plain lambdas compose on either side
    (twice >> trace.adding("i", 1))(3, trace.completion());
    EXPECT_EQ(trace.names, (std::vector<std::string>{"a", "b", "c", "e", "f", "i"}));
    EXPECT_EQ(trace.completed,
              (std::vector{StepResult::success(22), StepResult::failure("c broke"),
                           StepResult::failure("f broke"), StepResult::success(12), StepResult::success(7)}));
}

TEST(AsyncStep, composedStepHoldsBothStepsAndPendingCallbacksHoldSecondAndTheCompletion) {
    std::vector<Completion> pending;  // the first step answers later, as a real asynchronous one
    Trace trace;
    auto firstToken = std::make_shared<int>(0);
    auto secondToken = std::make_shared<int>(100);
    auto completionToken = std::make_shared<int>(0);
    const std::weak_ptr<int> firstWatch = firstToken;
    const std::weak_ptr<int> secondWatch = secondToken;
    const std::weak_ptr<int> completionWatch = completionToken;
    {
        const Step composed = Step([&pending, token = std::move(firstToken)](int, Completion completion) {
                                  pending.push_back(std::move(completion));
                              }) >>
                              holding(std::move(secondToken));
        EXPECT_FALSE(firstWatch.expired() || secondWatch.expired());
        composed(0, [&trace, token = std::move(completionToken)](StepResult result) {
            trace.completed.push_back(std::move(result));
        });
        composed(0, trace.completion());
    }
    // The composed step is gone, the first step with it; the pending callbacks hold the rest.
    EXPECT_TRUE(firstWatch.expired());
    EXPECT_FALSE(secondWatch.expired() || completionWatch.expired());

    // Answered out of order, each call reaches its own completion.
    pending.at(1)(StepResult::failure("late"));
    pending.at(0)(StepResult::success(20));
    EXPECT_EQ(trace.completed, (std::vector{StepResult::failure("late"), StepResult::success(120)}));

    pending.clear();
    EXPECT_TRUE(secondWatch.expired() && completionWatch.expired());
}

}  // namespace

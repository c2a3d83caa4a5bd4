#include "Core/Result.hpp"

#include "Platform/Foundation/NSError.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using orvane::Empty;
using orvane::NSError;
using orvane::Object;
using orvane::ObjectDictionary;
using orvane::Result;
using orvane::VoidResult;

// A value with no native object form: it travels in a box.
struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

NSError sampleError() {
    return NSError("com.orvane.test", 42,
                   {{std::string(orvane::NSDebugDescriptionErrorKey), Object("broken")}});
}

template <class R>
void expectRoundTrip(const R& result) {
    const ObjectDictionary raw = result.rawValue();
    ASSERT_EQ(raw.size(), 1u);
    EXPECT_EQ(raw.begin()->first, result.isSuccess() ? "success" : "failure");
    const std::optional<R> back = R::fromRawValue(raw);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, result);
}

TEST(ResultRawValue, roundTripsNativeAndBoxedPayloads) {
    expectRoundTrip(Result<std::string, NSError>::success("secret"));
    expectRoundTrip(Result<Point, NSError>::success(Point{1, 2}));
    expectRoundTrip(Result<std::vector<std::string>, NSError>::success({"a", "b"}));
    expectRoundTrip(Result<std::string, NSError>::failure(sampleError()));
    expectRoundTrip(Result<int, Point>::failure(Point{3, 4}));
}

TEST(ResultRawValue, storesNativeFormsAndTheErrorObject) {
    const ObjectDictionary number = Result<int, NSError>::success(7).rawValue();
    EXPECT_EQ(number.at("success"), Object(7));

    // The platform error travels as the error object itself, not a box.
    const ObjectDictionary failure = Result<int, NSError>::failure(sampleError()).rawValue();
    const auto reference = failure.at("failure").as<std::shared_ptr<NSError>>();
    ASSERT_TRUE(reference.has_value());
    EXPECT_EQ(**reference, sampleError());
}

TEST(ResultRawValue, voidSuccessIsAnEmptyObject) {
    EXPECT_TRUE(VoidResult<NSError>::success().rawValue().at("success").is<std::shared_ptr<Empty>>());
    expectRoundTrip(VoidResult<NSError>::success());
    expectRoundTrip(VoidResult<NSError>::failure(sampleError()));

    // Only an Empty object reads back as the void success.
    EXPECT_FALSE(VoidResult<NSError>::fromRawValue({{"success", Object()}}).has_value());
    EXPECT_FALSE(VoidResult<NSError>::fromRawValue({{"success", Object(1)}}).has_value());
}

TEST(ResultRawValue, aFailureOfTheErrorTypeWinsOtherwiseTheSuccess) {
    EXPECT_EQ((Result<int, std::string>::fromRawValue({{"failure", Object("bad")}, {"success", Object(1)}})),
              (Result<int, std::string>::failure("bad")));
    const ObjectDictionary wrongFailure{{"failure", Object("not an error")}, {"success", Object(5)}};
    EXPECT_EQ((Result<int, NSError>::fromRawValue(wrongFailure)), (Result<int, NSError>::success(5)));
    const ObjectDictionary extra{{"success", Object("ok")}, {"version", Object(2)}};
    EXPECT_EQ((Result<std::string, NSError>::fromRawValue(extra)),
              (Result<std::string, NSError>::success("ok")));
}

TEST(ResultRawValue, unusableDictionariesYieldNothing) {
    using IntResult = Result<int, NSError>;
    EXPECT_FALSE(IntResult::fromRawValue({}).has_value());
    EXPECT_FALSE(IntResult::fromRawValue({{"failure", Object("not an error")}}).has_value());
    EXPECT_FALSE(IntResult::fromRawValue({{"Success", Object(1)}}).has_value());
    EXPECT_FALSE(IntResult::fromRawValue({{"success", Object("1")}}).has_value());
    EXPECT_FALSE(IntResult::fromRawValue({{"success", Object(1.5)}}).has_value());
    EXPECT_FALSE(
        (Result<Point, NSError>::fromRawValue({{"success", Object::box(std::string("p"))}}).has_value()));
}

}  // namespace

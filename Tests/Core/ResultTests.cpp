#include "Core/Result.hpp"

#include "Platform/Foundation/NSError.hpp"

#include <gtest/gtest.h>

#include <any>
#include <string>

namespace {

using orvane::Empty;
using orvane::EmptyResult;
using orvane::NSError;
using orvane::Object;
using orvane::ObjectDictionary;
using orvane::Result;
using orvane::VoidResult;

NSError sampleError(std::int64_t code = 7) {
    return NSError("com.orvane.test", code);
}

static_assert(orvane::ResultProtocol<Result<int, NSError>>);
static_assert(orvane::ResultProtocol<VoidResult<NSError>>);
static_assert(!orvane::ResultProtocol<std::optional<int>>);

TEST(Result, keepsTheCaseAndTheNestedEmptyOptional) {
    EXPECT_TRUE((Result<int, int>::failure(1).isFailure()));
    EXPECT_NE((Result<int, int>::success(1)), (Result<int, int>::failure(1)));
    // A success whose value is itself an empty optional is still a success.
    const auto emptyPayload = Result<std::optional<int>, NSError>::success(std::nullopt);
    ASSERT_TRUE(emptyPayload.optionalValue().has_value());
    EXPECT_FALSE(emptyPayload.optionalValue()->has_value());
}

TEST(Result, boolValueFollowsTheCaseAndBooleanPayloadsFoundAtRunTime) {
    EXPECT_FALSE((Result<bool, NSError>::success(false).boolValue()));
    EXPECT_TRUE((Result<bool, NSError>::success(true).boolValue()));
    EXPECT_TRUE((Result<int, NSError>::success(0).boolValue()));
    EXPECT_FALSE((Result<int, NSError>::failure(sampleError()).boolValue()));
    EXPECT_TRUE(VoidResult<NSError>::success().boolValue());
    EXPECT_FALSE(VoidResult<NSError>::failure(sampleError()).boolValue());

    EXPECT_FALSE((Result<Object, NSError>::success(Object(false)).boolValue()));
    EXPECT_FALSE((Result<Object, NSError>::success(Object::box(false)).boolValue()));
    EXPECT_TRUE((Result<Object, NSError>::success(Object(true)).boolValue()));
    EXPECT_TRUE((Result<Object, NSError>::success(Object(0)).boolValue()));  // a number is no Boolean
    EXPECT_FALSE((Result<std::any, NSError>::success(std::any(false)).boolValue()));
    EXPECT_TRUE((Result<std::any, NSError>::success(std::any(0)).boolValue()));
    EXPECT_FALSE((Result<std::any, NSError>::failure(sampleError()).boolValue()));
}

TEST(Result, asVoidAndAsEmptyKeepTheCaseAndMakeANewEmptyEachTime) {
    const auto original = EmptyResult<NSError>::success();
    const VoidResult<NSError> asVoid = original.asVoid();
    EXPECT_TRUE(asVoid.isSuccess());
    const EmptyResult<NSError> back = asVoid.asEmpty();
    ASSERT_TRUE(back.isSuccess());
    ASSERT_NE(*back.valueIf(), nullptr);
    EXPECT_NE(*back.valueIf(), *original.valueIf());
    EXPECT_NE(*asVoid.asEmpty().valueIf(), *back.valueIf());
    EXPECT_NE(*EmptyResult<NSError>::success().valueIf(), *original.valueIf());

    const NSError error("com.orvane.test", 3, {{"key", Object("value")}});
    EXPECT_EQ(EmptyResult<NSError>::failure(error).asVoid().error(), error);
    EXPECT_EQ(VoidResult<NSError>::failure(error).asEmpty().error(), error);
}

// A value with no native object form: it travels in a box.
struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

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

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
using orvane::Result;
using orvane::VoidResult;

NSError sampleError(std::int64_t code = 7) {
    return NSError("com.orvane.test", code);
}

static_assert(orvane::ResultProtocol<Result<int, NSError>>);
static_assert(orvane::ResultProtocol<VoidResult<NSError>>);
static_assert(orvane::ResultProtocol<Result<Result<int, int>, std::string>>);
static_assert(!orvane::ResultProtocol<std::optional<int>>);

TEST(Result, sameTypeOnBothSidesKeepsTheCase) {
    const auto success = Result<int, int>::success(1);
    const auto failure = Result<int, int>::failure(1);
    EXPECT_TRUE(success.isSuccess());
    EXPECT_TRUE(failure.isFailure());
    EXPECT_NE(success, failure);
    EXPECT_EQ(failure.error(), 1);
}

TEST(Result, optionalValueIsTheSuccessOrNothing) {
    EXPECT_EQ((Result<int, NSError>::success(5).optionalValue()), 5);
    EXPECT_EQ((Result<int, NSError>::failure(sampleError()).optionalValue()), std::nullopt);
    // A success whose value is itself an empty optional is still a success.
    const auto emptyPayload = Result<std::optional<int>, NSError>::success(std::nullopt);
    ASSERT_TRUE(emptyPayload.optionalValue().has_value());
    EXPECT_FALSE(emptyPayload.optionalValue()->has_value());
}

TEST(Result, boolValueFollowsTheCaseAndBooleanPayloads) {
    EXPECT_FALSE((Result<bool, NSError>::success(false).boolValue()));
    EXPECT_TRUE((Result<bool, NSError>::success(true).boolValue()));
    EXPECT_TRUE((Result<std::string, NSError>::success("").boolValue()));
    EXPECT_TRUE((Result<int, NSError>::success(0).boolValue()));
    EXPECT_TRUE(EmptyResult<NSError>::success().boolValue());
    EXPECT_TRUE(VoidResult<NSError>::success().boolValue());

    EXPECT_FALSE((Result<bool, NSError>::failure(sampleError()).boolValue()));
    EXPECT_FALSE((Result<std::string, NSError>::failure(sampleError()).boolValue()));
    EXPECT_FALSE(VoidResult<NSError>::failure(sampleError()).boolValue());
}

TEST(Result, boolValueLooksAtTheDynamicTypeOfGeneralValues) {
    EXPECT_FALSE((Result<Object, NSError>::success(Object(false)).boolValue()));
    EXPECT_TRUE((Result<Object, NSError>::success(Object(true)).boolValue()));
    EXPECT_FALSE((Result<Object, NSError>::success(Object::box(false)).boolValue()));
    // Numbers are not Booleans, even 0.
    EXPECT_TRUE((Result<Object, NSError>::success(Object(0)).boolValue()));
    EXPECT_TRUE((Result<Object, NSError>::success(Object()).boolValue()));

    EXPECT_FALSE((Result<std::any, NSError>::success(std::any(false)).boolValue()));
    EXPECT_TRUE((Result<std::any, NSError>::success(std::any(0)).boolValue()));
    EXPECT_FALSE((Result<std::any, NSError>::failure(sampleError()).boolValue()));
}

TEST(Result, equalityComparesCaseAndPayload) {
    using IntResult = Result<int, NSError>;
    EXPECT_EQ(IntResult::success(1), IntResult::success(1));
    EXPECT_NE(IntResult::success(1), IntResult::success(2));
    EXPECT_EQ(IntResult::failure(sampleError(1)), IntResult::failure(sampleError(1)));
    EXPECT_NE(IntResult::failure(sampleError(1)), IntResult::failure(sampleError(2)));
    EXPECT_EQ(VoidResult<NSError>::success(), VoidResult<NSError>::success());
    EXPECT_NE(VoidResult<NSError>::success(), VoidResult<NSError>::failure(sampleError()));
}

TEST(Result, emptySuccessMakesANewEmptyEachTime) {
    const auto first = EmptyResult<NSError>::success();
    const auto second = EmptyResult<NSError>::success();
    ASSERT_TRUE(first.isSuccess());
    ASSERT_NE(*first.valueIf(), nullptr);
    EXPECT_NE(*first.valueIf(), *second.valueIf());
}

TEST(Result, asVoidAndAsEmptyConvertSuccesses) {
    const auto original = EmptyResult<NSError>::success();
    const VoidResult<NSError> asVoid = original.asVoid();
    EXPECT_TRUE(asVoid.isSuccess());

    const EmptyResult<NSError> back = asVoid.asEmpty();
    ASSERT_TRUE(back.isSuccess());
    ASSERT_NE(*back.valueIf(), nullptr);
    EXPECT_NE(*back.valueIf(), *original.valueIf()) << "asEmpty must make a new Empty";
    EXPECT_NE(*asVoid.asEmpty().valueIf(), *back.valueIf());
}

TEST(Result, asVoidAndAsEmptyKeepTheError) {
    const NSError error("com.orvane.test", 3, {{"key", Object("value")}});
    const VoidResult<NSError> asVoid = EmptyResult<NSError>::failure(error).asVoid();
    ASSERT_TRUE(asVoid.isFailure());
    EXPECT_EQ(*asVoid.errorIf(), error);

    const EmptyResult<NSError> asEmpty = VoidResult<NSError>::failure(error).asEmpty();
    ASSERT_TRUE(asEmpty.isFailure());
    EXPECT_EQ(*asEmpty.errorIf(), error);
}

}  // namespace

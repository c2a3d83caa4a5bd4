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

}  // namespace

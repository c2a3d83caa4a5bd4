#include "Core/Flatten.hpp"

#include "Platform/Foundation/NSError.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using orvane::AnyError;
using orvane::NSError;
using orvane::Result;

enum class OuterFault { timeout };

using Inner = Result<int, NSError>;
using Nested = Result<Inner, OuterFault>;

TEST(Flatten, successOfSuccessGivesTheValue) {
    const Result<int, AnyError> flat = orvane::flatten(Nested::success(Inner::success(12)));
    ASSERT_TRUE(flat.isSuccess());
    EXPECT_EQ(*flat.valueIf(), 12);
}

TEST(Flatten, innerFailureIsWrapped) {
    const NSError inner("Inner", 3);
    const auto flat = orvane::flatten(Nested::success(Inner::failure(inner)));
    ASSERT_TRUE(flat.isFailure());
    ASSERT_NE(flat.errorIf()->errorIf<NSError>(), nullptr);
    EXPECT_EQ(*flat.errorIf()->errorIf<NSError>(), inner);
}

TEST(Flatten, outerFailureIsWrapped) {
    const auto flat = orvane::flatten(Nested::failure(OuterFault::timeout));
    ASSERT_TRUE(flat.isFailure());
    ASSERT_NE(flat.errorIf()->errorIf<OuterFault>(), nullptr);
    EXPECT_EQ(flat.errorIf()->errorIf<NSError>(), nullptr);
}

TEST(Flatten, anAnyErrorIsNotWrappedAgain) {
    const AnyError inner(NSError("Inner", 1));
    using AnyInner = Result<std::string, AnyError>;
    const auto fromInner = orvane::flatten(Result<AnyInner, NSError>::success(AnyInner::failure(inner)));
    ASSERT_TRUE(fromInner.isFailure());
    EXPECT_EQ(fromInner.errorIf()->errorPointer(), inner.errorPointer());

    const auto fromOuter = orvane::flatten(Result<Inner, AnyError>::failure(inner));
    ASSERT_TRUE(fromOuter.isFailure());
    EXPECT_EQ(fromOuter.errorIf()->errorPointer(), inner.errorPointer());
}

TEST(Flatten, voidInnerResults) {
    using VoidInner = Result<void, OuterFault>;
    EXPECT_TRUE(orvane::flatten(Result<VoidInner, NSError>::success(VoidInner::success())).isSuccess());
    const auto failed =
        orvane::flatten(Result<VoidInner, NSError>::success(VoidInner::failure(OuterFault::timeout)));
    ASSERT_TRUE(failed.isFailure());
    EXPECT_NE(failed.errorIf()->errorIf<OuterFault>(), nullptr);
}

}  // namespace

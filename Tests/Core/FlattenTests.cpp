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

TEST(Flatten, givesTheInnerValueOrWrapsWhicheverErrorCame) {
    EXPECT_EQ(orvane::flatten(Nested::success(Inner::success(12))).value(), 12);

    const NSError inner("Inner", 3);
    const auto innerFailure = orvane::flatten(Nested::success(Inner::failure(inner)));
    ASSERT_TRUE(innerFailure.isFailure());
    ASSERT_NE(innerFailure.errorIf()->errorIf<NSError>(), nullptr);
    EXPECT_EQ(*innerFailure.errorIf()->errorIf<NSError>(), inner);

    const auto outerFailure = orvane::flatten(Nested::failure(OuterFault::timeout));
    ASSERT_TRUE(outerFailure.isFailure());
    EXPECT_NE(outerFailure.errorIf()->errorIf<OuterFault>(), nullptr);
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

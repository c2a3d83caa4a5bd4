#include "Core/Flatten.hpp"

#include "Platform/Foundation/NSError.hpp"

#include <gtest/gtest.h>

namespace {

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
    EXPECT_EQ(innerFailure.errorIf()->errorPointer()->domain(), "Inner");

    const auto outerFailure = orvane::flatten(Nested::failure(OuterFault::timeout));
    ASSERT_TRUE(outerFailure.isFailure());
    EXPECT_NE(outerFailure.errorIf()->errorIf<OuterFault>(), nullptr);
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

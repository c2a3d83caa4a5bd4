#include "Core/AnyError.hpp"

#include "Platform/Foundation/NSError.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace anyerror_test {
enum class Fault { none, minor, major };
}

namespace {

using anyerror_test::Fault;

using orvane::AnyError;
using orvane::NSError;
using orvane::Object;
using orvane::ObjectDictionary;

// An error whose texts come from overridden accessors, not from user info.
class ExplainedError : public orvane::Error {
public:
    ExplainedError(std::optional<std::string> reason, std::optional<std::string> suggestion)
        : reason_(std::move(reason)), suggestion_(std::move(suggestion)) {}
    std::string domain() const override { return "Explained"; }
    std::int64_t code() const override { return 9; }
    std::string localizedDescription() const override { return "It went wrong."; }
    std::optional<std::string> failureReason() const override { return reason_; }
    std::optional<std::string> recoverySuggestion() const override { return suggestion_; }

private:
    std::optional<std::string> reason_;
    std::optional<std::string> suggestion_;
};

class DerivedNSError : public NSError {
public:
    DerivedNSError() : NSError("Derived", 5) {}
};

TEST(AnyError, forwardsToTheHeldError) {
    const ExplainedError inner("no disk", "free some space");
    const AnyError wrapped(inner);
    EXPECT_EQ(wrapped.domain(), "Explained");
    EXPECT_EQ(wrapped.code(), 9);
    EXPECT_EQ(wrapped.localizedDescription(), "It went wrong.");
    EXPECT_EQ(wrapped.failureReason(), "no disk");
    EXPECT_EQ(wrapped.recoverySuggestion(), "free some space");
    ASSERT_NE(wrapped.errorIf<ExplainedError>(), nullptr);
    EXPECT_EQ(wrapped.errorIf<NSError>(), nullptr);
}

TEST(AnyError, forwardsUserInfoOfAnNSError) {
    const NSError inner("Domain", 4,
                        {{std::string(orvane::NSLocalizedDescriptionKey), Object("described")},
                         {std::string(orvane::NSLocalizedFailureReasonErrorKey), Object("reason")}});
    const AnyError wrapped(inner);
    EXPECT_EQ(wrapped.userInfo(), inner.userInfo());
    EXPECT_EQ(wrapped.localizedDescription(), "described");
    EXPECT_EQ(wrapped.failureReason(), "reason");
    EXPECT_EQ(wrapped.recoverySuggestion(), std::nullopt);
    EXPECT_STREQ(wrapped.what(), inner.what());
}

TEST(AnyError, wrappingAnAnyErrorSharesTheInnerError) {
    const AnyError once(NSError("Domain", 1));
    const AnyError twice(once);
    EXPECT_EQ(twice.errorPointer(), once.errorPointer());
    EXPECT_NE(twice.errorIf<NSError>(), nullptr);
    EXPECT_EQ(twice.errorIf<AnyError>(), nullptr) << "an AnyError never holds another AnyError";
}

TEST(AnyError, sharedPointerKeepsTheDynamicType) {
    auto derived = std::make_shared<DerivedNSError>();
    const AnyError wrapped{std::shared_ptr<const orvane::Error>(derived)};
    EXPECT_EQ(wrapped.errorIf<DerivedNSError>(), derived.get());
    EXPECT_EQ(wrapped.errorIf<NSError>(), derived.get());
    EXPECT_THROW(AnyError(std::shared_ptr<const orvane::Error>()), std::invalid_argument);
}

TEST(AnyError, holdsStandardExceptionsWithTheirMessage) {
    const AnyError wrapped(std::runtime_error("disk full"));
    EXPECT_EQ(wrapped.domain(), "std.runtime_error");
    EXPECT_EQ(wrapped.code(), 1);
    EXPECT_EQ(wrapped.localizedDescription(), "disk full");
    EXPECT_STREQ(wrapped.what(), "disk full");
    ASSERT_NE(wrapped.errorIf<std::runtime_error>(), nullptr);
    EXPECT_STREQ(wrapped.errorIf<std::runtime_error>()->what(), "disk full");
    EXPECT_EQ(wrapped.errorIf<std::logic_error>(), nullptr);
}

TEST(AnyError, holdsPlainValuesWithTheirTypeName) {
    const AnyError fault(Fault::major);
    EXPECT_EQ(fault.domain(), "anyerror_test.Fault");
    EXPECT_EQ(fault.code(), 2);
    ASSERT_NE(fault.errorIf<Fault>(), nullptr);
    EXPECT_EQ(*fault.errorIf<Fault>(), Fault::major);
    EXPECT_EQ(fault.failureReason(), std::nullopt);
    EXPECT_FALSE(fault.localizedDescription().empty());

    const AnyError text(std::string("bad input"));
    EXPECT_EQ(text.code(), 1);
    ASSERT_NE(text.errorIf<std::string>(), nullptr);
    EXPECT_EQ(*text.errorIf<std::string>(), "bad input");
    EXPECT_EQ(text.errorIf<Fault>(), nullptr);
}

TEST(AnyError, bridgesToNSErrorWithThreeEntries) {
    const NSError bridged(AnyError(ExplainedError("no disk", "free some space")));
    EXPECT_EQ(bridged.domain(), "");
    EXPECT_EQ(bridged.code(), -1);
    const ObjectDictionary expected{
        {std::string(orvane::NSLocalizedDescriptionKey), Object("It went wrong.")},
        {std::string(orvane::NSLocalizedFailureReasonErrorKey), Object("no disk")},
        {std::string(orvane::NSLocalizedRecoverySuggestionErrorKey), Object("free some space")},
    };
    EXPECT_EQ(bridged.userInfo(), expected);
}

TEST(AnyError, bridgesMissingTextsAsTheNullObject) {
    const NSError bridged(AnyError(ExplainedError(std::nullopt, std::nullopt)));
    EXPECT_EQ(bridged.domain(), "");
    EXPECT_EQ(bridged.code(), -1);
    const ObjectDictionary& userInfo = bridged.userInfoReference();
    ASSERT_EQ(userInfo.size(), 3u);
    EXPECT_EQ(userInfo.at(std::string(orvane::NSLocalizedDescriptionKey)), Object("It went wrong."));
    EXPECT_TRUE(userInfo.at(std::string(orvane::NSLocalizedFailureReasonErrorKey)).isNull());
    EXPECT_TRUE(userInfo.at(std::string(orvane::NSLocalizedRecoverySuggestionErrorKey)).isNull());
    // The bridged error reads its own texts back from those entries.
    EXPECT_EQ(bridged.localizedDescription(), "It went wrong.");
    EXPECT_EQ(bridged.failureReason(), std::nullopt);
}

}  // namespace
